// Overlay image names: an "imagefile=" value split into the path prefix and the extension.
#pragma once

#include <optional>
#include <string>

namespace stemscan {

struct OverlayName {
  std::string prefix;     // the folder part kept as given, then the file name's first piece
  std::string extension;  // the file name's second piece, without its dot
};

// Splits the file name of `value` at its dots (empty pieces skipped); the folder part is kept
// as it is. Nothing when the file name has no extension: "out/track" has none,
// "./out/track.png" gives ./out/track and png, "out/track.tif.bak" out/track and tif.
std::optional<OverlayName> splitOverlayName(const std::string& value);

// The overlay file of time index t: prefix, t with at least three digits, ".", extension.
std::string overlayFileName(const std::string& prefix, unsigned t, const std::string& extension);

}  // namespace stemscan
