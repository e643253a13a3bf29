#include "ptyline.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

TPtyLine::TPtyLine() {
  char name[256] = {};
  termios raw{};
  cfmakeraw(&raw);
  if (::openpty(&FMaster, &FHeldSlave, name, &raw, nullptr) != 0)
    throw std::runtime_error(std::string("cannot open a pseudo-terminal: ") + std::strerror(errno));
  FSlavePath = name;
  ::fcntl(FMaster, F_SETFL, ::fcntl(FMaster, F_GETFL) | O_NONBLOCK);
  ::fcntl(FMaster, F_SETFD, FD_CLOEXEC);
  ::fcntl(FHeldSlave, F_SETFD, FD_CLOEXEC);
}

TPtyLine::~TPtyLine() {
  ::close(FHeldSlave);
  ::close(FMaster);
}
