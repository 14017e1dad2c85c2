// The main window: creation, scale, the redraw of the frame with one overlay per hypocotyl,
// and the zoom onto a region of the frame.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <opencv2/imgproc.hpp>
#include <sstream>

#include "plate_analyzer/plate_analyzer.h"
#include "util/rect.h"

namespace stemscan {
namespace {

constexpr int kWindowX = 100;
constexpr int kWindowY = 100;
constexpr int kLargestSide = 500;  // a larger frame is first shown at this size
constexpr int kLargestWindowSide = 16384;

// Where a contour and its trackers are drawn on the whole frame (lines 3 px wide, circles of
// radius 2 around the trackers), with pixels to spare.
void addDrawnBoxes(const Snake& s, cv::Size size, std::vector<cv::Rect>* boxes) {
  const cv::Rect frame(cv::Point(0, 0), size);
  std::vector<cv::Point> line;
  for (int i = 0; i < s.pointCount(); ++i) line.push_back(toPoint(s.point(i)));
  if (!line.empty()) boxes->push_back(grownWithin(cv::boundingRect(line), 4, frame));
  for (const Vec2& tracker : {s.topTracker.pos, s.baseTracker.pos}) {
    const cv::Rect box = grownWithin(cv::Rect(toPoint(tracker), cv::Size(1, 1)), 5, frame);
    if (!box.empty()) boxes->push_back(box);
  }
}

}  // namespace

cv::Rect PlateAnalyzer::clippedRegion() const {
  return roi & cv::Rect(0, 0, display.cols, display.rows);
}

cv::Mat PlateAnalyzer::displayView(cv::Mat& image) {
  const cv::Rect region = clippedRegion();
  if (!display_region_set_ || region.empty() || image.empty()) return image;
  return image(region);
}

cv::Mat PlateAnalyzer::drawingView() {
  display_is_clean_ = false;
  drawn_only_ = false;
  return displayView(display);
}

cv::Mat PlateAnalyzer::workView(const cv::Mat& image) const {
  const cv::Rect region = clippedRegion();
  if (!work_region_set_ || region.empty() || image.empty()) return image;
  return image(region);
}

void PlateAnalyzer::showDisplay() {
  if (!window_name.empty()) windows_.showImage(window_name, displayView(display));
}

void PlateAnalyzer::createMainWindow(const std::string& name) {
  display_clean = display.clone();
  display_work = display.clone();
  display_is_clean_ = false;
  levels().forgetShown();
  window_name = name;
  std::cout << "image size " << display.cols << " " << display.rows << std::endl;
  windows_.createWindow(window_name);
  title_.clear();
  windows_.moveWindow(window_name, kWindowX, kWindowY);
  windows_.setMouseHandler(
      window_name, [this](int event, int x, int y, int flags) { onMouse(event, x, y, flags); });
  windows_.createSlider("smoothness", window_name, tuning.smoothness, tuning.smoothness_max,
                        [this](int position) { onSmoothnessSlider(position); });
  windows_.moveWindow(window_name, kWindowX, kWindowY);
  if (display_scale < 0.0f) {
    const int side = std::max(display.cols, display.rows);
    display_scale = side > kLargestSide ? static_cast<float>(kLargestSide) / side : 1.0f;
  }
  scaleMainWindow(1.0f);
}

void PlateAnalyzer::destroyMainWindow() {
  display_clean.copyTo(display);
  display_is_clean_ = false;
  windows_.destroyWindow(window_name);
  window_name.clear();
  display_clean.release();
  display_work.release();
}

void PlateAnalyzer::refreshDisplay(const cv::Scalar& colour) {
  if (display.empty()) return;
  try {
    // A new image is already in place: no copy; where only the last redraw drew on the
    // frame, only those boxes are put back.
    if (!display_is_clean_ && drawn_only_) {
      for (const cv::Rect& box : drawn_) display_clean(box).copyTo(display(box));
    } else if (!display_is_clean_) {
      displayView(display_clean).copyTo(displayView(display));
    }
  } catch (const cv::Exception& e) {
    std::cout << "Exception: " << e.code << " " << e.code << std::endl;
    std::cout << "disp_bak: " << display_clean.depth() << " " << display_clean.cols << " "
              << display_clean.rows << std::endl;
    std::cout << "disp: " << display.depth() << " " << display.cols << " " << display.rows
              << std::endl;
  }
  if (roi_active) display_region_set_ = true;
  cv::Mat view = drawingView();
  drawn_.clear();
  for (int i = 0; i < nb_snakes; ++i) {
    const Snake& s = snakes()[i];
    if (i != selected && !s.isInUse()) continue;
    s.draw(view, contourColour(i, colour));
    s.drawTrackers(view);
    addDrawnBoxes(s, display.size(), &drawn_);
  }
  // Zoomed in, the copy above restored only the view: the rest may hold older drawings.
  drawn_only_ = view.size() == display.size();
  showDisplay();
  updateTitle();
}

void PlateAnalyzer::updateTitle() {
  if (window_name.empty()) return;
  std::ostringstream title;
  title << window_name << " - ";
  if (scale_.clicks >= 0) {
    // The scale measure ('m') runs across the phases' own titles.
    if (scale_.clicks < 2) {
      title << (scale_.clicks == 0 ? "scale: click the first end" : "scale: click the other end")
            << " (Esc: cancel)";
    } else {
      title << "scale: type the length in mm: " << scale_.typed << "_ (Enter: done, Esc: cancel)";
    }
    setMainTitle(title.str());
    return;
  }
  switch (phase_) {
    case Phase::kSelection: {
      int selectedCount = 0;
      for (const Snake& s : snakes()) selectedCount += s.isInUse() ? 1 : 0;
      title << "selection: " << selectedCount << (selectedCount == 1 ? " hypocotyl" : " hypocotyls")
            << " selected (space: done)";
      break;
    }
    case Phase::kCalibration:
      if (calibrating_ >= 0) {
        int k = 0;
        int n = 0;
        for (int i = 0; i < nb_snakes; ++i) {
          if (!snakes()[i].isInUse()) continue;
          ++n;
          if (i <= calibrating_) ++k;
        }
        title << "calibration: hypocotyl " << k << " of " << n << " (space: next)";
      } else {
        title << "threshold calibration (space: done, d: each hypocotyl)";
      }
      break;
    case Phase::kRowBottoms:
      title << "row bottoms (space: skip or done)";
      break;
    case Phase::kMonitoring: {
      const std::string file = pipeline_.currentFile();
      title << (atPresent() ? "image " : "stored image ") << timeIndex() + 1 << " of "
            << pipeline_.imageCount() << ": " << file;
      if (const int flagged = flaggedCount()) {
        title << " (" << flagged << (flagged == 1 ? " contour" : " contours") << " flagged)";
      }
      if (!atPresent()) title << " (n: forward, f: next flagged, v: save corrections)";
      break;
    }
  }
  setMainTitle(title.str());
}

void PlateAnalyzer::setMainTitle(const std::string& title) {
  if (title == title_) return;
  title_ = title;
  windows_.setTitle(window_name, title_);
}

void PlateAnalyzer::drawUnselected() {
  cv::Mat view = drawingView();
  displayView(display_clean).copyTo(view);
  for (int i = 0; i < nb_snakes; ++i) {
    if (i != selected && snakes()[i].isInUse()) snakes()[i].draw(view, contourColour(i));
  }
}

void PlateAnalyzer::showSelected() {
  if (selected < 0 || display_work.empty()) return;
  cv::Mat work = displayView(display_work);
  displayView(display).copyTo(work);
  snakes()[selected].draw(work, contourColour(selected));
  if (!window_name.empty()) windows_.showImage(window_name, work);
}

void PlateAnalyzer::showOrientationPreview() {
  cv::Mat view = drawingView();
  const float arcLength = static_cast<float>(tuning.orientation_length);
  for (const Snake& s : snakes()) {
    if (s.isInUse()) s.drawUpTo(view, arcLength, cv::Scalar(255, 0, 0));
  }
  showDisplay();
}

void PlateAnalyzer::scaleMainWindow(float factor) {
  display_scale *= factor;
  resizeMainWindow();
  refreshDisplay(kRed);
}

void PlateAnalyzer::resizeMainWindow() {
  // No screen is wider than this: enlarging stops there.
  const int side = std::max(1, std::max(display.cols, display.rows));
  display_scale = std::min(display_scale, static_cast<float>(kLargestWindowSide) / side);
  const int width = std::max(1, static_cast<int>(display.cols * display_scale));
  const int height = std::max(1, static_cast<int>(display.rows * display_scale));
  windows_.resizeWindow(window_name, width, height);
}

void PlateAnalyzer::zoomAt(const Vec2& point, float factor) {
  roi_zoom *= factor;
  if (roi_zoom >= 1.0f) {
    clearRegions();
    roi_active = false;
    return;
  }
  const int w = static_cast<int>(display.cols * roi_zoom);
  const int h = static_cast<int>(display.rows * roi_zoom);
  const int x0 = std::max(0, static_cast<int>(point.x - w / 2));
  const int y0 = std::max(0, static_cast<int>(point.y - h / 2));
  roi = cv::Rect(x0, y0, w, h);
  applyRegion();
  roi_active = true;
}

void PlateAnalyzer::zoomToHypocotyl(int column, int row, int margin) {
  if (row >= nb_rows || column >= nb_cols || row < 0 || column < 0) return;
  const Snake& s = snakes()[column + row * nb_cols];
  const int W = display.cols;
  const int H = display.rows;
  int x0 = std::max(0, s.minX() - margin);
  int y0 = std::max(0, s.minY() - margin);
  int w = std::min(W, s.maxX() + margin) - x0;
  int h = std::min(H, s.maxY() + margin) - y0;
  if (w <= 0 || h <= 0) return;  // the contour lies outside the frame
  if (static_cast<double>(H) / W < static_cast<double>(h) / w) {
    w = h * W / H;
    if (x0 + w > W) x0 = W - w;
  } else {
    h = w * H / W;
    if (y0 + h > H) y0 = H - h;
  }
  roi = cv::Rect(std::max(0, x0), std::max(0, y0), w, h);
  applyRegion();
  roi_active = true;
}

void PlateAnalyzer::resetZoom(bool full) {
  if (full) {
    roi_zoom = 1.0f;
    roi_active = false;
    roi = cv::Rect(0, 0, display.cols, display.rows);
  }
  clearRegions();
}

void PlateAnalyzer::clearRegions() {
  display_region_set_ = false;
  work_region_set_ = false;
}

void PlateAnalyzer::applyRegion() {
  display_region_set_ = true;
  work_region_set_ = true;
}

void PlateAnalyzer::setMode(InteractionMode m) {
  if (mode != m) mode = m;
}

void PlateAnalyzer::onOrientationSlider(int position) {
  tuning.orientation_length = position;
  refreshDisplay(kRed);
  showOrientationPreview();
}

}  // namespace stemscan
