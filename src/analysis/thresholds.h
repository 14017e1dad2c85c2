// Thresholds: the grey levels the hypocotyls are thresholded at, and the images they make, in
// one place: each hypocotyl's own value, whether one value is shared by all, the value the
// threshold slider shows, and the grey of the image shown and of the one before it with both
// thresholded (each image thresholded once per value in a row, as hypocotyls mostly share one).
#pragma once

#include <opencv2/core/mat.hpp>
#include <vector>

namespace stemscan {

class Thresholds {
 public:
  // A hypocotyl not calibrated yet, or a value never set.
  static constexpr int kNone = -1;

  // `hypocotyls` values, none set; the slider starts at `start`.
  Thresholds(int hypocotyls, int start);

  // The value the threshold slider shows, which a calibration gives.
  int current() const { return current_; }
  void setCurrent(int value) { current_ = value; }
  // Hypocotyl i's own value (kNone before its first calibration; kNone outside the plate).
  int of(int i) const;
  void set(int i, int value);
  const std::vector<int>& values() const { return values_; }

  // One value for all: the calibration of all hypocotyls at once shares the current value.
  bool sharing() const { return shared_ != kNone; }
  // The shared value (0 from the start of a shared calibration until a value is shared).
  int sharedValue() const { return shared_; }
  void startSharing() { shared_ = 0; }
  void stopSharing() { shared_ = kNone; }
  // Every hypocotyl takes the current value (and sharing stops where that is kNone).
  void shareCurrent();

  // The images: blank ones of the sequence's size, then each new image in turn. The one shown
  // so far becomes the previous one: its grey is at hand, unless forgetShown() was called
  // since, and then the previous one is made anew from `shownBefore` (the colour image shown
  // before `bgr`; none where it is empty).
  void startSequence(cv::Size size);
  void nextImage(const cv::Mat& bgr, const cv::Mat& shownBefore);
  void forgetShown() { has_image_ = false; }
  // Light seedlings on a dark background (--bright): each image is analysed as its negative.
  void setNegative(bool on) { negative_ = on; }
  // Uneven light (--even-background): each grey image is divided by the plate's grey around each
  // pixel.
  void setEvenBackground(bool on) { even_ = on; }
  // Makes mask() and previousMask() hold the two images thresholded at the current value;
  // nothing while that is kNone or before any image.
  void makeMasks();
  // Thresholds at hypocotyl i's own value: it becomes the current one.
  void makeMasksFor(int i);

  const cv::Mat& grey() const { return grey_; }
  const cv::Mat& previousGrey() const { return previous_grey_; }
  // Dark (0) where the grey is at or below the value, light (255) above; the grey itself while
  // no value has been applied to this image.
  const cv::Mat& mask() const { return mask_; }
  const cv::Mat& previousMask() const { return previous_mask_; }

 private:
  int current_;
  std::vector<int> values_;
  int shared_ = kNone;
  cv::Mat grey_;
  cv::Mat previous_grey_;
  cv::Mat mask_;
  cv::Mat previous_mask_;
  int mask_level_ = kNone;  // the value mask_ holds its image at; kNone while it holds the grey
  int previous_level_ = kNone;
  bool has_image_ = false;  // grey_ is the grey of the image shown
  bool negative_ = false;
  bool even_ = false;
  cv::Mat inverted_;  // the negative of an image, on its way to grey

  // The grey of a colour image (of its negative, with setNegative; evened, with
  // setEvenBackground).
  void greyOf(const cv::Mat& bgr, cv::Mat& grey);
};

}  // namespace stemscan
