#include "result_store/appendable_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace stemscan {
namespace {

// Writes all of `text` to `fd`; false on any error.
bool writeAll(int fd, const std::string& text) {
  const char* data = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t written = ::write(fd, data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  return true;
}

// The process's file creation mask, read once (reading it means setting it).
mode_t creationMask() {
  static const mode_t mask = [] {
    const mode_t current = ::umask(022);
    ::umask(current);
    return current;
  }();
  return mask;
}

}  // namespace

bool writeFileWhole(const std::string& path, const std::string& text) {
  return writeFileWhole(path, [&text](const Writer& write) { return write(text); });
}

bool writeFileWhole(const std::string& path, const std::function<bool(const Writer&)>& pieces) {
  // A name of its own, created anew (mkstemps opens with O_EXCL): a file or a link that stands
  // at some fixed temporary name is never written through.
  std::string temporary = path + ".XXXXXX.tmp";
  const int fd = ::mkstemps(temporary.data(), 4);
  if (fd < 0) return false;
  // mkstemps creates the file for its owner alone; a table gets the usual permissions.
  if (::fchmod(fd, 0666 & ~creationMask()) != 0) {
    ::close(fd);
    std::remove(temporary.c_str());
    return false;
  }
  if (!pieces([fd](const std::string& piece) { return writeAll(fd, piece); }) || ::fsync(fd) != 0) {
    ::close(fd);
    std::remove(temporary.c_str());
    return false;
  }
  if (::close(fd) != 0 || std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

AppendableFile::AppendableFile(std::string name) : name_(std::move(name)) {}

AppendableFile::~AppendableFile() { close(); }

bool AppendableFile::update(unsigned images, const std::string& layout, bool whole,
                            const Render& render, const std::string& header) {
  const bool appendable = !whole && fd_ >= 0 && layout == layout_ && images_ <= images;
  bool written = false;
  if (appendable) {
    if (images_ == images) return true;
    written = append(render(images_, images));
  } else {
    written = rewrite(images, render, header);
  }
  failed_ = !written;
  if (!written) {
    std::cerr << "cannot write file " << name_ << std::endl;
    close();  // the next writing starts over, whole
    return false;
  }
  images_ = images;
  layout_ = layout;
  return true;
}

bool AppendableFile::append(const std::string& text) {
  if (writeAll(fd_, text)) {
    bytes_ += static_cast<long long>(text.size());
    return true;
  }
  // Take back lines written in part, so that the file stays made of whole lines.
  if (::ftruncate(fd_, bytes_) != 0) close();
  return false;
}

bool AppendableFile::rewrite(unsigned images, const Render& render, const std::string& header) {
  close();
  // A few images' lines at a time: a long sequence's file is never held whole in memory.
  constexpr unsigned kImagesAtATime = 8;
  long long bytes = 0;
  const bool written = writeFileWhole(name_, [&](const Writer& write) {
    if (!write(header)) return false;
    bytes = static_cast<long long>(header.size());
    for (unsigned from = 0; from < images; from += kImagesAtATime) {
      const std::string lines = render(from, std::min(images, from + kImagesAtATime));
      if (!write(lines)) return false;
      bytes += static_cast<long long>(lines.size());
    }
    return true;
  });
  if (!written) return false;
  fd_ = ::open(name_.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW);
  bytes_ = bytes;
  return true;
}

void AppendableFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace stemscan
