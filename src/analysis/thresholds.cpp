#include "analysis/thresholds.h"

#include <algorithm>
#include <opencv2/imgproc.hpp>

#include "analysis/even_background.h"

namespace stemscan {

Thresholds::Thresholds(int hypocotyls, int start)
    : current_(start), values_(static_cast<std::size_t>(std::max(0, hypocotyls)), kNone) {}

int Thresholds::of(int i) const {
  return i >= 0 && static_cast<std::size_t>(i) < values_.size() ? values_[i] : kNone;
}

void Thresholds::set(int i, int value) {
  if (i >= 0 && static_cast<std::size_t>(i) < values_.size()) values_[i] = value;
}

void Thresholds::shareCurrent() {
  shared_ = current_;
  std::fill(values_.begin(), values_.end(), current_);
}

void Thresholds::startSequence(cv::Size size) {
  mask_.create(size, CV_8UC1);
  mask_.setTo(0);
  previous_mask_ = mask_.clone();
  grey_.create(size, CV_8UC1);
  grey_.setTo(0);
  previous_grey_ = grey_.clone();
  mask_level_ = kNone;
  previous_level_ = kNone;
  has_image_ = false;
}

void Thresholds::nextImage(const cv::Mat& bgr, const cv::Mat& shownBefore) {
  // The image shown so far becomes the previous one: its grey, and its grey thresholded, are
  // at hand when they were made from that very image.
  if (has_image_ && !shownBefore.empty()) {
    cv::swap(grey_, previous_grey_);
    cv::swap(mask_, previous_mask_);
    previous_level_ = mask_level_;
  } else {
    if (!shownBefore.empty()) {
      greyOf(shownBefore, previous_grey_);
      previous_grey_.copyTo(previous_mask_);
    }
    previous_level_ = kNone;
  }
  greyOf(bgr, grey_);
  grey_.copyTo(mask_);
  mask_level_ = kNone;
  has_image_ = true;
}

void Thresholds::greyOf(const cv::Mat& bgr, cv::Mat& grey) {
  // The negative is taken of the colour image, as an inverted photograph would be read.
  if (negative_) {
    cv::bitwise_not(bgr, inverted_);
    cv::cvtColor(inverted_, grey, cv::COLOR_BGR2GRAY);
  } else {
    cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
  }
  if (even_) evenBackground(grey);
}

void Thresholds::makeMasks() {
  if (current_ < 0 || grey_.empty()) return;
  if (previous_level_ != current_) {
    cv::threshold(previous_grey_, previous_mask_, current_, 255, cv::THRESH_BINARY);
    previous_level_ = current_;
  }
  if (mask_level_ != current_) {
    cv::threshold(grey_, mask_, current_, 255, cv::THRESH_BINARY);
    mask_level_ = current_;
  }
}

void Thresholds::makeMasksFor(int i) {
  current_ = of(i);
  makeMasks();
}

}  // namespace stemscan
