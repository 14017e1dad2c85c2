// Uneven light across a plate (a lamp to one side, day and night in a time-lapse) makes one
// grey level dark in one part of a photograph and light in another. Evening the background
// divides each pixel by the plate's own grey around it, so a threshold means "this much darker
// than the plate nearby" everywhere and on every image.
#pragma once

#include <opencv2/core/mat.hpp>

namespace stemscan {

// The width (pixels) of the window the plate's grey is read over: wider than any organ the
// contours follow (stems, hooks, cotyledons); one wider would be taken for the plate.
constexpr int kBackgroundWindow = 41;

// `grey` (dark seedlings on a lighter plate) divided by its background, the plate's grey around
// each pixel (a closing over `window`, which takes out everything dark narrower than it, then
// smoothed over as much); the plate comes out white (255), a seedling at half the plate's grey
// around it 128. In place.
void evenBackground(cv::Mat& grey, int window = kBackgroundWindow);

}  // namespace stemscan
