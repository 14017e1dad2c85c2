#include "grabber/image_header.h"

#include <cstdint>
#include <fstream>
#include <vector>

namespace stemscan {
namespace {

// The first bytes of a file: enough for every header read here but a JPEG's with large
// metadata blocks, which is read on as far as its frame header.
constexpr std::size_t kHead = 1 << 16;

class Bytes {
 public:
  explicit Bytes(std::vector<unsigned char> data) : data_(std::move(data)) {}
  std::size_t size() const { return data_.size(); }
  bool has(std::size_t at, std::size_t n) const { return at + n <= data_.size(); }
  unsigned at(std::size_t k) const { return data_[k]; }
  uint32_t big(std::size_t k, int n) const {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | data_[k + i];
    return v;
  }
  uint32_t little(std::size_t k, int n) const {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | data_[k + i];
    return v;
  }

 private:
  std::vector<unsigned char> data_;
};

std::optional<cv::Size> sizeOf(uint32_t width, uint32_t height) {
  if (width == 0 || height == 0 || width > 0x7fffffffu || height > 0x7fffffffu) return std::nullopt;
  return cv::Size(static_cast<int>(width), static_cast<int>(height));
}

std::optional<cv::Size> pngSize(const Bytes& b) {
  if (!b.has(0, 24) || b.big(12, 4) != 0x49484452u) return std::nullopt;  // "IHDR"
  return sizeOf(b.big(16, 4), b.big(20, 4));
}

std::optional<cv::Size> jpegSize(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  in.ignore(2);  // SOI
  while (in) {
    int byte = in.get();
    while (in && byte != 0xFF) byte = in.get();
    while (in && byte == 0xFF) byte = in.get();  // fill bytes
    if (!in) break;
    const int marker = byte;
    if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) continue;
    const int high = in.get();
    const int low = in.get();
    if (!in) break;
    const int length = (high << 8) | low;
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      unsigned char header[5];
      if (!in.read(reinterpret_cast<char*>(header), 5)) break;
      return sizeOf((header[3] << 8) | header[4], (header[1] << 8) | header[2]);
    }
    if (marker == 0xDA || marker == 0xD9 || length < 2) break;  // image data: no frame header
    in.ignore(length - 2);
  }
  return std::nullopt;
}

std::optional<cv::Size> bmpSize(const Bytes& b) {
  if (!b.has(0, 26)) return std::nullopt;
  const int32_t width = static_cast<int32_t>(b.little(18, 4));
  const int32_t height = static_cast<int32_t>(b.little(22, 4));
  if (width <= 0 || height == INT32_MIN) return std::nullopt;
  return sizeOf(static_cast<uint32_t>(width), static_cast<uint32_t>(height < 0 ? -height : height));
}

std::optional<cv::Size> tiffSize(const Bytes& b) {
  const bool little = b.at(0) == 'I';
  auto read = [&](std::size_t k, int n) { return little ? b.little(k, n) : b.big(k, n); };
  const uint32_t ifd = read(4, 4);
  if (!b.has(ifd, 2)) return std::nullopt;
  const uint32_t entries = read(ifd, 2);
  uint32_t width = 0;
  uint32_t height = 0;
  for (uint32_t e = 0; e < entries; ++e) {
    const std::size_t entry = ifd + 2 + 12 * static_cast<std::size_t>(e);
    if (!b.has(entry, 12)) return std::nullopt;
    const uint32_t tag = read(entry, 2);
    const uint32_t type = read(entry + 2, 2);
    const uint32_t value = type == 3 ? read(entry + 8, 2) : read(entry + 8, 4);
    if (tag == 256) width = value;
    if (tag == 257) height = value;
  }
  return sizeOf(width, height);
}

}  // namespace

std::optional<cv::Size> imageSizeFromHeader(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<unsigned char> head(kHead);
  in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  const Bytes b(std::move(head));
  if (!b.has(0, 8)) return std::nullopt;
  if (b.at(0) == 0x89 && b.at(1) == 'P' && b.at(2) == 'N' && b.at(3) == 'G') return pngSize(b);
  if (b.at(0) == 0xFF && b.at(1) == 0xD8) return jpegSize(path);
  if (b.at(0) == 'B' && b.at(1) == 'M') return bmpSize(b);
  const bool tiff = (b.at(0) == 'I' && b.at(1) == 'I' && b.at(2) == 42 && b.at(3) == 0) ||
                    (b.at(0) == 'M' && b.at(1) == 'M' && b.at(2) == 0 && b.at(3) == 42);
  if (tiff) return tiffSize(b);
  return std::nullopt;
}

}  // namespace stemscan
