#include "grabber/img_grabber.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <opencv2/imgcodecs.hpp>

#include "grabber/image_header.h"
#include "grabber/sequence_listing.h"

namespace stemscan {
namespace {

// True for a path that names something: a file that can be read, or anything else (a folder,
// a pipe), which is then reported as an image that cannot be read. Nothing is opened: a pipe
// would wait for a writer.
bool canOpen(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return false;
  return !S_ISREG(info.st_mode) || ::access(path.c_str(), R_OK) == 0;
}

// Loads an image in colour; an unreadable, undecodable or truncated file gives an empty
// image, and so does an image whose header says it is not of the `expected` size (unless that
// is empty): it is never decoded.
cv::Mat loadColour(const std::string& path, cv::Size expected = cv::Size()) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return cv::Mat();
  if (!expected.empty()) {
    const std::optional<cv::Size> size = imageSizeFromHeader(path);
    if (size && *size != expected) return cv::Mat();
  }
  std::vector<uchar> bytes;
  if (!readBytes(path, &bytes) || isTruncated(bytes)) return cv::Mat();
  try {
    return cv::imdecode(bytes, cv::IMREAD_COLOR);
  } catch (const cv::Exception&) {
    return cv::Mat();
  }
}

}  // namespace

bool readBytes(const std::string& path, std::vector<uchar>* bytes) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size <= 0) return false;
  bytes->resize(static_cast<std::size_t>(size));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes->data()), size);
  return static_cast<bool>(in);
}

bool isTruncated(const std::vector<uchar>& bytes) {
  // The end marker must stand in the file's last bytes (some writers pad after it).
  constexpr std::size_t kTail = 1024;
  const std::size_t from = bytes.size() > kTail ? bytes.size() - kTail : 0;
  auto tailHas = [&](std::initializer_list<uchar> marker) {
    return std::search(bytes.begin() + from, bytes.end(), marker.begin(), marker.end()) !=
           bytes.end();
  };
  const bool jpeg = bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
  if (jpeg) return !tailHas({0xFF, 0xD9});
  const bool png = bytes.size() >= 8 && bytes[0] == 0x89 && bytes[1] == 'P' && bytes[2] == 'N' &&
                   bytes[3] == 'G';
  if (png) return !tailHas({'I', 'E', 'N', 'D'});
  return false;
}

ImgGrabber::ImgGrabber(const std::string& examplePath) {
  const std::string& P = examplePath;
  if (P.size() < 5) return;  // not a file name: an empty source
  name = P;

  // The extension runs from the last dot of the file name (dot included).
  const std::size_t slash = P.find_last_of('/');
  const std::size_t fileStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = P.find_last_of('.');
  const std::size_t stem = (dot == std::string::npos || dot < fileStart) ? P.size() : dot;
  extension = P.substr(stem);

  // The whole digit run is the number, however long (a date and time, a millisecond clock).
  std::size_t numberStart = stem;
  while (numberStart > fileStart && P[numberStart - 1] >= '0' && P[numberStart - 1] <= '9') {
    --numberStart;
  }
  digits = static_cast<int>(stem - numberStart);
  const std::string numberDigits = P.substr(numberStart, stem - numberStart);
  prefix = P.substr(0, numberStart);
  // Frames are numbered from the example's number where it is small enough to count on from.
  const std::string value = numberText(numberDigits);
  first = current = value.size() <= 9 ? static_cast<unsigned>(std::stoul(value)) : 0u;

  if (!canOpen(P)) std::cerr << "cannot find file " << P << std::endl;

  // The example and every later file of its name, whatever the steps between their numbers.
  if (canOpen(P)) {
    files.push_back({P, numberDigits});
    // A name of three digit groups and more is a camera's clock (a date and a time, a
    // counter): the sequence is every name of its shape, in the order of all its groups.
    const std::string fileName = P.substr(fileStart);
    const std::vector<SequenceFile> later =
        digitGroups(fileName).size() >= 3
            ? listLaterSameShape(P.substr(0, fileStart), fileName, extension, std::cerr)
            : listLaterFiles(P.substr(0, fileStart), P.substr(fileStart, numberStart - fileStart),
                             extension, numberDigits, std::cerr);
    const std::size_t room = 0xffffffffu - first;  // frame numbers stay unsigned
    files.insert(files.end(), later.begin(), later.begin() + std::min(later.size(), room - 1));
    count = static_cast<unsigned>(files.size());
  }

  // Decoded once: the first grab hands this image out.
  first_image_ = loadColour(P);
  width = first_image_.cols;
  height = first_image_.rows;
  if (count == 0) {
    std::cerr << "cannot open file " << P << std::endl;
    first = current = 0;
  }
}

void ImgGrabber::startReadingAhead(unsigned from) {
  const cv::Size expected(width, height);
  prefetcher_ = std::make_unique<FramePrefetcher>(
      [this, expected](unsigned n) { return loadColour(fileName(n), expected); }, from,
      first + count);
}

std::string ImgGrabber::fileName(unsigned n) const {
  if (n >= first && n - first < files.size()) return files[n - first].path;
  std::string number = std::to_string(n);
  if (n == 0 && digits == 0) number.clear();  // as printf's precision 0 writes 0
  if (static_cast<int>(number.size()) < digits) {
    number.insert(0, digits - number.size(), '0');
  }
  return prefix + number + extension;
}

ImgGrabber::~ImgGrabber() = default;

void ImgGrabber::grab(cv::Mat& slot) {
  if (atEnd()) return;
  name = fileName(current);
  if (current == first && !first_image_.empty()) {
    slot = first_image_;
    first_image_.release();
    // The next images are read while the first is worked on (selecting, calibrating).
    if (readAhead && !prefetcher_ && count > 1) startReadingAhead(first + 1);
  } else if (readAhead) {
    if (!prefetcher_) startReadingAhead(current);
    slot = prefetcher_->take(current);
  } else {
    slot = loadColour(name, cv::Size(width, height));
  }
  // Why a frame came out empty: its header may tell its size.
  last_header_size_.reset();
  if (slot.empty() && std::filesystem::is_regular_file(name)) {
    last_header_size_ = imageSizeFromHeader(name);
  }
  ++current;
  std::cout << name << std::endl;
}

void ImgGrabber::release() {
  prefetcher_.reset();
  first_image_.release();
  name.clear();
  prefix.clear();
  extension.clear();
}

void ImgGrabber::skip(int step) {
  if (count == 0) return;
  current += static_cast<unsigned>(step);
  if (current >= first + count) current = first + count - 1;
}

void ImgGrabber::seek(unsigned n) {
  if (n >= first && n < first + count) current = n;
}

}  // namespace stemscan
