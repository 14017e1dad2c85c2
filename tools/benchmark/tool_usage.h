// The options every tool takes besides its own arguments: --help (or -h) prints its usage and
// --version its version, and either ends it, instead of being taken for a folder to write into.
#pragma once

#include <cstdio>
#include <cstring>

#include "main/command_line.h"

namespace stemscan::tools {

// True, after printing `usage` or the version, when the command line asks for either.
inline bool helpAsked(int argc, char** argv, const char* usage) {
  for (int k = 1; k < argc; ++k) {
    if (std::strcmp(argv[k], "--help") == 0 || std::strcmp(argv[k], "-h") == 0) {
      std::puts(usage);
      return true;
    }
    if (std::strcmp(argv[k], "--version") == 0) {
      const char* slash = std::strrchr(argv[0], '/');
      std::printf("%s %s\n", slash != nullptr ? slash + 1 : argv[0], kVersion);
      return true;
    }
  }
  return false;
}

}  // namespace stemscan::tools
