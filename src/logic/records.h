// The in-memory records of the configuration row and of a node row.
#pragma once

#include <QString>
#include <cstdint>

struct TConfigStu {
  QString COMPort;
  std::int32_t ViewFlag = 0;
  std::int32_t RS485Baud = 0;
  std::int32_t CANBaud = 0;
  std::int32_t Pri = 0;
  bool IsExtID = false;
  bool AutoStart = false;
  bool AutoRpt = false;
  bool PWMRpt = false;
  std::int32_t WaveKind = 0;  // lives for the run only
  bool MakePos = false;
};

struct TNodeStu {
  std::int32_t ID = 0;
  QString NodeName;
  std::int32_t Channel = 0;
  std::int32_t Addr = 0;
  std::int32_t Angle = 0;
  std::int32_t Interv = 0;
};
