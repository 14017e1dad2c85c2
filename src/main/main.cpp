// StemScan: measures seedling hypocotyls in a time-lapse of plate photographs.
#include <malloc.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "main/command_line.h"

namespace {

// The folder of the running executable, from its real path.
std::string programDirectory(const char* argv0) {
  std::error_code error;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) self = std::filesystem::absolute(argv0, error);
  return self.parent_path().string();
}

}  // namespace

int main(int argc, char** argv) {
  // Frames are decoded on the reader threads and freed on the analysis thread. With an arena
  // per thread (glibc's default) each arena keeps its own freed frames, and the peak memory
  // creeps up over the first hundred images; two arenas keep it flat at no cost in speed.
  mallopt(M_ARENA_MAX, 2);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return stemscan::stemScanMain(args, programDirectory(argv[0]));
}
