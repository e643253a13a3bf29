// The board's end of the serial line: a pseudo-terminal pair in raw mode.
// The simulator reads and writes the master side (non-blocking); the program
// opens the slave side by its path. A slave descriptor stays open here for
// the whole run, so the master never sees a hang-up while the program has
// its port closed or is switching ports.
#pragma once

#include <string>

class TPtyLine {
 public:
  TPtyLine();  // throws std::runtime_error when no pseudo-terminal can be had
  ~TPtyLine();
  TPtyLine(const TPtyLine&) = delete;
  TPtyLine& operator=(const TPtyLine&) = delete;

  int MasterFd() const { return FMaster; }
  const std::string& SlavePath() const { return FSlavePath; }

 private:
  int FMaster = -1;
  int FHeldSlave = -1;
  std::string FSlavePath;
};
