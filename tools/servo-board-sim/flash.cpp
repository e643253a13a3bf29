#include "flash.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* FlashMagic = "servo-board-sim flash 1";
// No valid file comes near this; a bigger one is not read into memory.
constexpr std::size_t MaxFlashFileSize = 64 * 1024;

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

// Parses exactly `digits` hexadecimal digits.
bool ParseHex(const std::string& text, std::size_t digits, std::uint32_t& value) {
  if (text.size() != digits) return false;
  value = 0;
  for (char c : text) {
    const int d = (c >= '0' && c <= '9') ? c - '0'
                  : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                  : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                                           : -1;
    if (d < 0) return false;
    value = value * 16 + static_cast<std::uint32_t>(d);
  }
  return true;
}

bool ParseDecimal(const std::string& text, std::size_t& value) {
  if (text.empty() || text.size() > 6) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::size_t>(c - '0');
  }
  return true;
}

std::vector<std::string> Fields(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> fields;
  for (std::string f; in >> f;) fields.push_back(f);
  return fields;
}

bool ParseBytes(const std::vector<std::string>& fields, std::size_t count, std::uint8_t* bytes) {
  if (fields.size() != count + 1) return false;
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t v = 0;
    if (!ParseHex(fields[i + 1], 2, v)) return false;
    bytes[i] = static_cast<std::uint8_t>(v);
  }
  return true;
}

// Reads the file's lines into an image, one line at a time.
class TFlashReader {
 public:
  TFlashParse Parse(const std::string& text);

 private:
  bool Line(const std::vector<std::string>& fields);
  bool Config(const std::vector<std::string>& fields);
  bool Node(const std::vector<std::string>& fields);
  bool Word(const std::vector<std::string>& fields);
  bool End(const std::vector<std::string>& fields);
  bool Fail(const std::string& why) {
    FError = why;
    return false;
  }

  TBoardImage FImage;
  bool FHasConfig = false;
  bool FEnded = false;
  std::string FError;
};

TFlashParse TFlashReader::Parse(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  int number = 1;
  if (!std::getline(in, line) || line != FlashMagic) return {false, {}, "line 1: not a flash file of this simulator"};
  while (std::getline(in, line)) {
    ++number;
    const std::vector<std::string> fields = Fields(line);
    if (FEnded) return {false, {}, "line " + std::to_string(number) + ": text after the end line"};
    if (!Line(fields)) return {false, {}, "line " + std::to_string(number) + ": " + FError};
  }
  if (!FEnded) return {false, {}, "the end line is missing (file cut short?)"};
  return {true, FImage, {}};
}

bool TFlashReader::Line(const std::vector<std::string>& fields) {
  if (fields.empty()) return Fail("empty line");
  const std::string& key = fields[0];
  if (key == "config") return Config(fields);
  if (key == "node") return Node(fields);
  if (key == "word") return Word(fields);
  if (key == "end") return End(fields);
  return Fail("unknown entry '" + key + "'");
}

bool TFlashReader::Config(const std::vector<std::string>& fields) {
  if (FHasConfig) return Fail("second config line");
  TPayloadStu block;
  if (!ParseBytes(fields, 4, &block.Bytes[1])) return Fail("config needs four two-digit hex bytes");
  FImage.Config = ReadBusConfig(block);
  FHasConfig = true;
  return true;
}

bool TFlashReader::Node(const std::vector<std::string>& fields) {
  if (FImage.Nodes.size() >= MaxBoardNodes) return Fail("more than 255 nodes");
  std::uint8_t bytes[2];
  if (!ParseBytes(fields, 2, bytes)) return Fail("node needs a bus code and an address as two-digit hex bytes");
  FImage.Nodes.push_back({bytes[0], bytes[1]});
  return true;
}

bool TFlashReader::Word(const std::vector<std::string>& fields) {
  if (FImage.Program.size() >= MaxBoardWords) return Fail("more than 256 words");
  std::uint32_t word = 0;
  if (fields.size() != 2 || !ParseHex(fields[1], 8, word)) return Fail("word needs eight hex digits");
  FImage.Program.push_back(word);
  return true;
}

bool TFlashReader::End(const std::vector<std::string>& fields) {
  std::size_t nodes = 0;
  std::size_t words = 0;
  if (fields.size() != 3 || !ParseDecimal(fields[1], nodes) || !ParseDecimal(fields[2], words))
    return Fail("end needs the node and word counts");
  if (!FHasConfig) return Fail("no config line before the end");
  if (nodes != FImage.Nodes.size() || words != FImage.Program.size())
    return Fail("the counts do not match the node and word lines");
  FEnded = true;
  return true;
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string SystemError(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

// Reads until the end of the file or until more than limit bytes are in text.
bool ReadAtMost(int fd, std::size_t limit, std::string& text) {
  char buffer[4096];
  while (text.size() <= limit) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return true;
}

bool WriteFileSynced(const std::string& path, const std::string& text, std::string& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = SystemError("cannot create", path);
    return false;
  }
  bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
  if (!ok) error = SystemError("cannot write", path);
  if (::close(fd) != 0 && ok) {
    error = SystemError("cannot write", path);
    ok = false;
  }
  return ok;
}

}  // namespace

std::string FormatFlash(const TBoardImage& image) {
  TPayloadStu block;
  WriteBusConfig(block, image.Config);
  std::string text = std::string(FlashMagic) + "\nconfig";
  for (int i = 1; i <= 4; ++i) text += " " + Hex(block.Bytes[i], 2);
  text += "\n";
  for (const TNodeEntry& node : image.Nodes) text += "node " + Hex(node.Bus, 2) + " " + Hex(node.Addr, 2) + "\n";
  for (std::uint32_t word : image.Program) text += "word " + Hex(word, 8) + "\n";
  text += "end " + std::to_string(image.Nodes.size()) + " " + std::to_string(image.Program.size()) + "\n";
  return text;
}

TFlashParse ParseFlash(const std::string& text) { return TFlashReader().Parse(text); }

TFlashLoad LoadFlashFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return {TFlashFileState::Missing, {}, {}};
    return {TFlashFileState::Corrupt, {}, SystemError("cannot read", path)};
  }
  std::string text;
  const bool read = ReadAtMost(fd, MaxFlashFileSize, text);
  const std::string readError = read ? std::string() : SystemError("cannot read", path);
  ::close(fd);
  if (!read) return {TFlashFileState::Corrupt, {}, readError};
  if (text.size() > MaxFlashFileSize) return {TFlashFileState::Corrupt, {}, "too large for a flash file"};
  TFlashParse parsed = ParseFlash(text);
  if (!parsed.Ok) return {TFlashFileState::Corrupt, {}, parsed.Error};
  return {TFlashFileState::Loaded, std::move(parsed.Image), {}};
}

bool SaveFlashFile(const std::string& path, const TBoardImage& image, std::string& error) {
  const std::string temp = path + ".tmp";
  if (!WriteFileSynced(temp, FormatFlash(image), error)) {
    ::unlink(temp.c_str());
    return false;
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    error = SystemError("cannot rename onto", path);
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}
