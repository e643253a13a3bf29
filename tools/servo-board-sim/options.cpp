#include "options.h"

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <map>

namespace {

constexpr int MaxCom = 255;
constexpr int MaxLatencyMs = 60000;
constexpr unsigned long long MaxEvery = 1000000;

bool ParseNumber(const std::string& text, unsigned long long low, unsigned long long high,
                 unsigned long long& value) {
  if (text.empty() || text[0] < '0' || text[0] > '9') return false;
  errno = 0;
  char* end = nullptr;
  value = std::strtoull(text.c_str(), &end, 10);
  return errno == 0 && *end == '\0' && value >= low && value <= high;
}

using TValueSetter = std::function<bool(TSimOptions&, const std::string&)>;

template <typename T>
TValueSetter NumberInto(T TSimOptions::*field, unsigned long long low, unsigned long long high) {
  return [=](TSimOptions& o, const std::string& text) {
    unsigned long long v = 0;
    if (!ParseNumber(text, low, high, v)) return false;
    o.*field = static_cast<T>(v);
    return true;
  };
}

TValueSetter TextInto(std::string TSimOptions::*field) {
  return [=](TSimOptions& o, const std::string& text) {
    if (text.empty()) return false;
    o.*field = text;
    return true;
  };
}

bool SetSeed(TSimOptions& o, const std::string& text) {
  unsigned long long v = 0;
  if (!ParseNumber(text, 0, 0xFFFFFFFFull, v)) return false;
  o.Seed = static_cast<std::uint32_t>(v);
  return true;
}

struct TValueOption {
  TValueSetter Set;
  const char* Expects;
};

const std::map<std::string, TValueOption>& ValueOptions() {
  static const std::map<std::string, TValueOption> options = {
      {"--com", {NumberInto(&TSimOptions::Com, 1, MaxCom), "a port number from 1 to 255"}},
      {"--dir", {TextInto(&TSimOptions::Dir), "a directory"}},
      {"--flash", {TextInto(&TSimOptions::FlashFile), "a file name"}},
      {"--latency", {NumberInto(&TSimOptions::LatencyMs, 0, MaxLatencyMs), "milliseconds from 0 to 60000"}},
      {"--drop-every", {NumberInto(&TSimOptions::DropEvery, 1, MaxEvery), "a count from 1 to 1000000"}},
      {"--bad-checksum-every",
       {NumberInto(&TSimOptions::BadChecksumEvery, 1, MaxEvery), "a count from 1 to 1000000"}},
      {"--seed", {SetSeed, "a number from 0 to 4294967295"}},
      {"--log", {TextInto(&TSimOptions::LogFile), "a file name"}},
  };
  return options;
}

const std::map<std::string, bool TSimOptions::*>& FlagOptions() {
  static const std::map<std::string, bool TSimOptions::*> flags = {
      {"--noise", &TSimOptions::Noise},
      {"--help", &TSimOptions::Help},
  };
  return flags;
}

}  // namespace

TOptionsParse ParseOptions(const std::vector<std::string>& args) {
  TOptionsParse result;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const std::size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    if (const auto flag = FlagOptions().find(arg); flag != FlagOptions().end()) {
      result.Options.*(flag->second) = true;
      continue;
    }
    const auto option = ValueOptions().find(name);
    if (option == ValueOptions().end()) return {false, {}, "unknown option '" + arg + "'"};
    const bool inlineValue = eq != std::string::npos;
    if (!inlineValue && i + 1 >= args.size()) return {false, {}, name + " needs " + option->second.Expects};
    const std::string value = inlineValue ? arg.substr(eq + 1) : args[++i];
    if (!option->second.Set(result.Options, value))
      return {false, {}, name + " needs " + option->second.Expects + ", not '" + value + "'"};
  }
  result.Ok = true;
  return result;
}

const char* UsageText() {
  return "Usage: servo-board-sim [--com N] [--dir DIR] [--flash FILE] [options]\n"
         "A virtual servo controller board on a pseudo-terminal. It makes DIR/dosdevices/comN\n"
         "(default COM1 in the current directory) a link to the terminal, prints that link,\n"
         "serves until SIGINT or SIGTERM and then removes the link.\n"
         "\n"
         "  --com N                 port number, 1 to 255 (default 1)\n"
         "  --dir DIR               directory that holds dosdevices/ (default .)\n"
         "  --flash FILE            keep the stored copy in FILE and load it at start\n"
         "  --latency MS            delay every answer by MS milliseconds\n"
         "  --drop-every N          give no answer to every Nth request\n"
         "  --bad-checksum-every N  send every Nth answer frame with a wrong checksum\n"
         "  --noise                 put random bytes (never 0xFE) before the frames it sends\n"
         "  --seed S                fixed seed for the noise\n"
         "  --log FILE              write every frame received and sent to FILE, in hex\n"
         "  --help                  show this text\n";
}
