// The one option every benchmark takes besides its positional arguments: --help (or -h)
// prints its usage and ends it, instead of being taken for a folder to write into.
#pragma once

#include <cstdio>
#include <cstring>

namespace stemscan::tools {

// True, after printing `usage`, when the command line asks for help.
inline bool helpAsked(int argc, char** argv, const char* usage) {
  for (int k = 1; k < argc; ++k) {
    if (std::strcmp(argv[k], "--help") == 0 || std::strcmp(argv[k], "-h") == 0) {
      std::puts(usage);
      return true;
    }
  }
  return false;
}

}  // namespace stemscan::tools
