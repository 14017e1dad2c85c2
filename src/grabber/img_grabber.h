// ImgGrabber: a numbered sequence of image files found from one example file name: the example
// and every later file of its folder with the same name before the number and the same
// extension (name00.png, name01.png, ...; 009000.TIF, 009900.TIF, ...), in numeric order.
// Frames are numbered first ... first + count - 1 (first: the example's number), frame n being
// the (n - first)-th file of the list.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "grabber/frame_prefetcher.h"
#include "grabber/sequence_listing.h"

namespace stemscan {

// Reads a whole regular file; false for a folder, an empty or an unreadable file.
bool readBytes(const std::string& path, std::vector<uchar>* bytes);
// True for a JPEG without its end-of-image marker or a PNG without its IEND chunk: a file cut
// short, which a decoder would fill up with grey.
bool isTruncated(const std::vector<uchar>& bytes);

class ImgGrabber {
 public:
  explicit ImgGrabber(const std::string& examplePath);
  ~ImgGrabber();
  ImgGrabber(const ImgGrabber&) = delete;
  ImgGrabber& operator=(const ImgGrabber&) = delete;

  // The example image, decoded when the sequence was opened (empty once grabbed).
  const cv::Mat& firstImage() const { return first_image_; }

  // Delivers the next frame into the caller's slot (8-bit BGR; empty when it cannot be read).
  void grab(cv::Mat& slot);
  cv::Size getSize() const { return cv::Size(width, height); }
  // Frees the buffers the source holds; the source itself stays.
  void release();

  void skip(int step);
  void seek(unsigned n);
  unsigned getCount() const { return count; }
  unsigned getCurrent() const { return current; }
  unsigned getFirst() const { return first; }
  unsigned index() const { return current - first; }
  bool atEnd() const { return current >= first + count; }
  // The file name of frame n, and the name last built (the file last grabbed). Outside the
  // sequence, the name frame n would have: the prefix, n zero-padded to the width of the
  // example's number, and the extension.
  std::string fileName(unsigned n) const;
  // The number in the file name of frame n, without leading zeros (n itself in a sequence
  // without gaps).
  std::string fileNumber(unsigned n) const {
    return n >= first && n - first < files.size() ? numberText(files[n - first].digits)
                                                  : std::to_string(n);
  }
  const std::string& lastName() const { return name; }
  // The size the header of the file last grabbed gives, when its frame came out empty (an
  // image of another size is not decoded at all).
  const std::optional<cv::Size>& lastHeaderSize() const { return last_header_size_; }

  unsigned current = 0;
  int width = 0;
  int height = 0;
  unsigned count = 0;
  std::string name;
  int digits = 0;
  std::string prefix;
  std::string extension;
  unsigned first = 0;
  std::vector<SequenceFile> files;
  // Frames after the one grabbed are decoded ahead on other threads.
  bool readAhead = true;

 private:
  // Reads the frames from `from` on ahead of the analysis.
  void startReadingAhead(unsigned from);

  cv::Mat first_image_;
  std::optional<cv::Size> last_header_size_;
  std::unique_ptr<FramePrefetcher> prefetcher_;
};

}  // namespace stemscan
