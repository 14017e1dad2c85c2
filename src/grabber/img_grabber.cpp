#include "grabber/img_grabber.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <opencv2/imgcodecs.hpp>

#include "grabber/sequence_listing.h"

namespace stemscan {
namespace {

bool canOpen(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

// Loads an image in colour; an unreadable, undecodable or truncated file gives an empty
// image.
cv::Mat loadColour(const std::string& path) {
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

ImgGrabber::ImgGrabber(const std::string& examplePath, float frameRate) : fps(frameRate) {
  const std::string& P = examplePath;
  if (P.size() < 5) return;  // not a file name: an empty source
  name = P;

  // The extension runs from the last dot of the file name (dot included).
  const std::size_t slash = P.find_last_of('/');
  const std::size_t fileStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = P.find_last_of('.');
  const std::size_t stem = (dot == std::string::npos || dot < fileStart) ? P.size() : dot;
  extension = P.substr(stem);

  std::size_t numberStart = stem;
  while (numberStart > fileStart && stem - numberStart < kMaxDigits && P[numberStart - 1] >= '0' &&
         P[numberStart - 1] <= '9') {
    --numberStart;
  }
  digits = static_cast<int>(stem - numberStart);
  const unsigned number =
      digits > 0 ? static_cast<unsigned>(std::stoul(P.substr(numberStart, digits))) : 0u;
  prefix = P.substr(0, numberStart);
  first = current = number;

  if (!canOpen(P)) std::cerr << "cannot find file " << P << std::endl;

  // The example and every later file of its name, whatever the steps between their numbers.
  if (canOpen(P)) {
    files.push_back({P, number});
    const std::vector<SequenceFile> later = listLaterFiles(
        P.substr(0, fileStart), P.substr(fileStart, numberStart - fileStart), extension, number);
    const std::size_t room = 0xffffffffu - number;  // frame numbers stay unsigned
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
  prefetcher_ = std::make_unique<FramePrefetcher>(
      [this](unsigned n) { return loadColour(fileName(n)); }, from, first + count);
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
    slot = loadColour(name);
  }
  ++current;
  std::cout << name << std::endl;
  if (loop && current >= first + count) current = first;
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

void ImgGrabber::setFraction(float f) {
  const float t = f <= 0.0f ? 0.0f : (f >= 1.0f ? 1.0f : f);
  current = first + static_cast<unsigned>(static_cast<float>(count) * t);
}

float ImgGrabber::fraction() const {
  return count == 0 ? 0.0f : static_cast<float>(current) / static_cast<float>(count);
}

}  // namespace stemscan
