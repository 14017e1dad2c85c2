// StemScan: measures seedling hypocotyls in a time-lapse of plate photographs.
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
  const std::vector<std::string> args(argv + 1, argv + argc);
  return stemscan::stemScanMain(args, programDirectory(argv[0]));
}
