// The size of an image read from its file's header alone, without decoding its pixels: a
// photograph of another size in a sequence is skipped before it takes any memory.
#pragma once

#include <opencv2/core/types.hpp>
#include <optional>
#include <string>

namespace stemscan {

// Width and height from the header of a PNG, JPEG, BMP or TIFF file; nothing for another
// format or a header that cannot be read.
std::optional<cv::Size> imageSizeFromHeader(const std::string& path);

}  // namespace stemscan
