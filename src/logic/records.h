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

// A node record with the given fields and no ID yet.
inline TNodeStu MakeNode(const QString& name, std::int32_t channel, std::int32_t addr, std::int32_t angle = 0,
                         std::int32_t interv = 0) {
  TNodeStu node;
  node.NodeName = name;
  node.Channel = channel;
  node.Addr = addr;
  node.Angle = angle;
  node.Interv = interv;
  return node;
}
