// Whole text files for the tests of the virtual board.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteText(const std::string& path, const std::string& text) { std::ofstream(path) << text; }
