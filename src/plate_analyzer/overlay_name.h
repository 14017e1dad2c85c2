// Overlay image names: an "imagefile=" value split into the path prefix and the extension.
#pragma once

#include <optional>
#include <string>

namespace stemscan {

struct OverlayName {
  std::string prefix;     // everything before the file name's last dot
  std::string extension;  // what follows it
};

// Splits `value` at the last dot of its file name: the extension follows it, the prefix (folder
// included, as given) precedes it. Nothing when the file name has no extension: "out/track"
// and "out/.png" have none, "./out/track.png" gives ./out/track and png, "ov.v2.png" ov.v2 and
// png.
std::optional<OverlayName> splitOverlayName(const std::string& value);

// The overlay file of time index t: prefix, t with at least three digits, ".", extension.
std::string overlayFileName(const std::string& prefix, unsigned t, const std::string& extension);

}  // namespace stemscan
