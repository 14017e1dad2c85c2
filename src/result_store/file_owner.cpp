#include "result_store/file_owner.h"

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <fstream>

namespace stemscan {

bool mayReplace(const std::string& path, const std::vector<std::string>& signatures) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return errno == ENOENT;
  if (!S_ISREG(info.st_mode)) return false;
  std::size_t longest = 0;
  for (const std::string& signature : signatures) longest = std::max(longest, signature.size());
  std::string head(longest, '\0');
  std::ifstream in(path, std::ios::binary);
  in.read(head.data(), static_cast<std::streamsize>(longest));
  head.resize(static_cast<std::size_t>(in.gcount()));
  for (const std::string& signature : signatures) {
    if (head.compare(0, signature.size(), signature) == 0) return true;
  }
  return false;
}

bool mayReplaceHolding(const std::string& path, const std::string& prefix,
                       const std::string& mark) {
  if (!mayReplace(path, {prefix})) return false;
  // A figure of ours is small; a file this large is not one.
  constexpr std::uintmax_t kLargest = 64u << 20;
  std::ifstream in(path, std::ios::binary);
  if (!in) return true;  // nothing there
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error || size > kLargest) return false;
  std::string text(static_cast<std::size_t>(size), '\0');
  in.read(text.data(), static_cast<std::streamsize>(size));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return text.find(mark) != std::string::npos;
}

bool samePath(const std::string& a, const std::string& b) {
  std::error_code error;
  const std::filesystem::path first = std::filesystem::weakly_canonical(a, error);
  if (error) return a == b;
  const std::filesystem::path second = std::filesystem::weakly_canonical(b, error);
  if (error) return a == b;
  return first == second;
}

}  // namespace stemscan
