#include "comlink.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* PtsPrefix = "/dev/pts/";

std::string LinkTarget(const std::string& path) {
  char target[4096];
  const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
  return n < 0 ? std::string() : std::string(target, static_cast<std::size_t>(n));
}

std::string ParentDir(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string SystemError(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

}  // namespace

std::string ComLinkPath(const std::string& dir, int com) {
  std::string base = dir;
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base + "/dosdevices/com" + std::to_string(com);
}

TLinkPathState InspectLinkPath(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT ? TLinkPathState::Free : TLinkPathState::Foreign;
  if (!S_ISLNK(st.st_mode)) return TLinkPathState::Foreign;
  const std::string target = LinkTarget(path);
  if (target.rfind(PtsPrefix, 0) != 0) return TLinkPathState::Foreign;
  struct stat targetStat {};
  const bool gone = ::stat(target.c_str(), &targetStat) != 0 && errno == ENOENT;
  return gone ? TLinkPathState::Stale : TLinkPathState::Foreign;
}

bool CreateComLink(const std::string& path, const std::string& target, std::string& error) {
  const std::string dir = ParentDir(path);
  if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
    error = SystemError("cannot create", dir);
    return false;
  }
  switch (InspectLinkPath(path)) {
    case TLinkPathState::Foreign:
      error = path + " exists and is not a stale link of this simulator; remove it or choose another --com";
      return false;
    case TLinkPathState::Stale:
      if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        error = SystemError("cannot replace the stale link", path);
        return false;
      }
      break;
    case TLinkPathState::Free: break;
  }
  if (::symlink(target.c_str(), path.c_str()) != 0) {
    error = SystemError("cannot create the link", path);
    return false;
  }
  return true;
}

void RemoveComLink(const std::string& path, const std::string& target) {
  if (LinkTarget(path) == target) ::unlink(path.c_str());
}
