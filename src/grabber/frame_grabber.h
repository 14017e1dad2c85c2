// Frame sources: deliver the photographs of one experiment one image at a time, in the order
// of their file numbers.
#pragma once

#include <opencv2/core/mat.hpp>

namespace stemscan {

class FrameGrabber {
 public:
  virtual ~FrameGrabber() = default;
  // Delivers the next frame into the caller's slot (8-bit BGR; empty when it cannot be read).
  virtual void grab(cv::Mat& /*slot*/) {}
  virtual cv::Size getSize() const { return cv::Size(0, 0); }
  // Frees the buffers the source holds; the source itself stays.
  virtual void release() {}
};

}  // namespace stemscan
