// AppendableFile: a text file of lines per image, kept current image by image without ever
// leaving a torn file behind.
//
// New lines are appended, each batch in one write; anything else (an earlier line changed,
// another layout of the lines, a write that failed) rewrites the file whole into a temporary
// file beside it, which is flushed to disk and then renamed over it. So the file on disk,
// whenever the program is stopped, is absent or made of whole lines, and an earlier run's file
// is only ever replaced by a complete new one.
#pragma once

#include <functional>
#include <string>

namespace stemscan {

class AppendableFile {
 public:
  // The lines of images from, from + 1, ... before `to`.
  using Render = std::function<std::string(unsigned from, unsigned to)>;

  explicit AppendableFile(std::string name);
  ~AppendableFile();
  AppendableFile(const AppendableFile&) = delete;
  AppendableFile& operator=(const AppendableFile&) = delete;

  // Brings the file to the lines of `images` images: appends those of the images not on disk
  // when the lines there still hold (the same `layout`, nothing forced), else writes `header`
  // and every line anew. A failure is reported on the error stream; false then.
  bool update(unsigned images, const std::string& layout, bool whole, const Render& render,
              const std::string& header = "");

  const std::string& name() const { return name_; }
  // True when the last writing failed: the file does not hold what it should.
  bool failed() const { return failed_; }

 private:
  bool append(const std::string& text);
  bool rewrite(unsigned images, const Render& render, const std::string& header);
  void close();

  std::string name_;
  int fd_ = -1;          // open for appending; -1 when the file must be rewritten
  unsigned images_ = 0;  // images whose lines are on disk
  std::string layout_;
  long long bytes_ = 0;  // size on disk
  bool failed_ = false;
};

// Writes `text` to `path` through a temporary file beside it, flushed to disk, then renamed
// over `path`; `path` is untouched when this fails.
bool writeFileWhole(const std::string& path, const std::string& text);
// The same for a text made piece by piece: `pieces` hands each piece to the writer it is given
// (false from the writer: stop) and says whether all went well.
using Writer = std::function<bool(const std::string& piece)>;
bool writeFileWhole(const std::string& path, const std::function<bool(const Writer&)>& pieces);

}  // namespace stemscan
