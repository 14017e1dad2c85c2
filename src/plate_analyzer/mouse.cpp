// The main window's mouse: creating, selecting, dragging, deleting and recalibrating
// hypocotyls and zooming (edit mode), and the row bottoms (row-bottom mode); the smoothness
// slider, which edits the selected hypocotyl.
#include <algorithm>
#include <iostream>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "plate_analyzer/plate_analyzer.h"

namespace stemscan {
namespace {

constexpr float kZoomStep = 0.8f;
constexpr float kSeedAngle = 20.0f;
constexpr float kSeedLength = 60.0f;
const char* const kNoHypocotylYet =
    "no hypocotyl here yet: create one with Alt + right click at its top (Ctrl + Alt + right "
    "click where the desktop takes Alt + right click)";

}  // namespace

void PlateAnalyzer::onMouse(int event, int x, int y, int flags) {
  if (mode == ModeRowBottom) {
    onRowBottomMouse(event, x, y);
  } else if (mode == ModeEdit) {
    onEditMouse(event, flags, x, y);
  }
}

void PlateAnalyzer::onEditMouse(int event, int flags, int x, int y) {
  if (event == kMouseMove) {
    if (drag_snake == -1 && drag_point == -1) return;
    if (drag_snake != -1 && drag_snake != selected) return;
  }
  // Whatever the user places or moves stays inside the image, even when dragged off it.
  x = std::clamp(x + roi.x, 0, std::max(0, display.cols - 1));
  y = std::clamp(y + roi.y, 0, std::max(0, display.rows - 1));
  const Vec2 p(x, y);
  if (event == kLeftUp) {
    endDrag();
    return;
  }
  const bool shift = flags & kFlagShift;
  const bool alt = flags & kFlagAlt;
  const bool ctrl = flags & kFlagCtrl;
  if (event == kLeftDown && !shift && !alt && !ctrl && onScaleClick(p)) {
    // an end of the ruler
  } else if (shift) {
    if (event == kMouseMove) {
      dragTo(x, y);
    } else if (event == kLeftDown && ctrl) {
      startContourDrag(x, y);
    } else if (event == kLeftDown) {
      const int i = nearestInUse(p);
      if (Snake* s = snake(i)) {
        s->topTracker.pos = p;
        s->setPoint(0, s->topTracker.pos);
        markEdited(i);
      }
    } else if (event == kRightUp && ctrl) {
      const int i = nearestInUse(p);
      if (Snake* s = snake(i)) {
        s->baseTracker.pos = p;
        s->setLastPoint(s->baseTracker.pos);
        markEdited(i);
        pipeline_.setBaseSet(i, true);
      }
    } else if (event == kRightUp && beginModalWait()) {
      const int i = nearestInUse(p);
      recalibrate(i);
      markEdited(i);
      endModalWait();
    }
  } else if (alt) {
    if (event == kLeftDown && beginModalWait()) {
      commandConsole();
      endModalWait();
    }
    if (event == kRightUp) createHypocotyl(p);
  } else if (ctrl) {
    if (event == kMouseMove) {
      dragTo(x, y);
    } else if (event == kLeftDown) {
      pickPoint(x, y);
      drawUnselected();
    } else if (event == kRightUp) {
      const int i = nearestInUse(p);
      if (i >= 0) snakes()[i].deactivate();
      markEdited(i);
      if (i == selected) selected = -1;
    }
  } else {
    if (event == kLeftDown) selectNearest(x, y);
    if (event == kRightUp) zoomAt(p, kZoomStep);
  }
  refreshDisplay(kRed);
}

int PlateAnalyzer::nearestContour(const Vec2& p, ContourEnd end, bool inUseOnly,
                                  int exclude) const {
  const float start = static_cast<float>(display.cols + display.rows);
  float best = start * start;
  int index = -1;
  for (int i = 0; i < nb_snakes; ++i) {
    const Snake& s = snakes()[i];
    if (s.pointCount() == 0 || !wasCreated(i)) continue;
    if (inUseOnly ? !s.isInUse() : i == exclude) continue;
    const float d = squaredNorm((end == ContourEnd::kBase ? s.lastPoint() : s.point(0)) - p);
    if (d < best) {
      best = d;
      index = i;
    }
  }
  return index;
}

int PlateAnalyzer::nearestInUse(const Vec2& p) const {
  return nearestContour(p, ContourEnd::kTop, true, -1);
}

int PlateAnalyzer::nearestCreated(const Vec2& p, ContourEnd end, int exclude) const {
  return nearestContour(p, end, false, exclude);
}

int PlateAnalyzer::nearestFreeSnake(const Vec2& p) const {
  const float start = static_cast<float>(display.cols + display.rows);
  float best = start * start;
  int index = -1;
  for (int i = 0; i < nb_snakes; ++i) {
    if (snakes()[i].isInUse()) continue;
    const float d = squaredNorm(snakes()[i].point(0) - p);
    if (index < 0 || d < best) {
      best = d;
      index = i;
    }
  }
  return index;
}

void PlateAnalyzer::toggleSelection(int i) {
  if (i < 0 || i >= nb_snakes) return;
  cv::Mat view = drawingView();
  if (i == selected) {
    selected = -1;
    snakes()[i].draw(view, contourColour(i));
  } else {
    const int before = selected;
    selected = i;
    if (before >= 0) snakes()[before].draw(view, contourColour(before));
    if (!snakes()[i].isInUse()) markEdited(i);  // a switched-off hypocotyl comes back
    snakes()[i].activate();
    snakes()[i].draw(view, contourColour(i));
    tuning.smoothness =
        cvRound(snakes()[i].getInternalWeight() * tuning.smoothness_max / tuning.smoothness_scale);
    windows_.setSliderPosition("smoothness", window_name, tuning.smoothness);
  }
  showDisplay();
}

void PlateAnalyzer::selectNearest(int x, int y) {
  const int i = nearestCreated(Vec2(x, y), ContourEnd::kTop);
  if (i < 0) std::cout << kNoHypocotylYet << std::endl;
  toggleSelection(i);
}

void PlateAnalyzer::pickPoint(int x, int y) {
  const Vec2 p(x, y);
  const int a = nearestCreated(p, ContourEnd::kTop);
  const int c = nearestCreated(p, ContourEnd::kBase);
  const int candidates[] = {a, nearestCreated(p, ContourEnd::kTop, a), c,
                            nearestCreated(p, ContourEnd::kBase, c)};
  std::vector<int> unique;
  for (int candidate : candidates) {
    if (candidate < 0) continue;
    if (std::find(unique.begin(), unique.end(), candidate) == unique.end()) {
      unique.push_back(candidate);
    }
  }
  const float start = static_cast<float>(display.cols + display.rows);
  float best = start * start;
  int winner = -1;
  int winnerPoint = 0;
  for (int candidate : unique) {
    if (snakes()[candidate].pointCount() == 0) continue;
    int distance = 0;
    const int point = snakes()[candidate].closestPoint(p, &distance);
    if (winner < 0 || distance < best) {
      winner = candidate;
      winnerPoint = point;
    }
    if (distance < best) best = static_cast<float>(distance);
  }
  if (winner < 0) return;
  selected = winner;
  drag_point = winnerPoint;
}

void PlateAnalyzer::startContourDrag(int x, int y) {
  toggleSelection(nearestInUse(Vec2(x, y)));
  if (selected == -1) selectNearest(x, y);
  drawUnselected();
  drag_snake = selected;
  last_mouse = Vec2(x, y);
}

void PlateAnalyzer::dragTo(int x, int y) {
  if (drag_snake == -1 && drag_point == -1) return;
  const Vec2 p(x, y);
  if (drag_snake != -1 && drag_snake == selected) {
    Snake& s = snakes()[drag_snake];
    markEdited(drag_snake);
    s.translate(p - last_mouse);
    s.clampInto(display.cols, display.rows);
    s.topTracker.pos = s.point(0);
    s.baseTracker.pos = s.lastPoint();
    last_mouse = p;
  } else if (drag_point != -1 && selected >= 0) {
    Snake& s = snakes()[selected];
    markEdited(selected);
    s.setPoint(drag_point, p);
    // A dragged end is where its tracker carries on from at the next image.
    if (drag_point == 0) {
      s.topTracker.pos = s.point(0);
    } else if (drag_point == s.pointCount() - 1) {
      s.baseTracker.pos = s.lastPoint();
      pipeline_.setBaseSet(selected, true);
    }
  }
  showSelected();
}

void PlateAnalyzer::endDrag() {
  drag_point = -1;
  drag_snake = -1;
  refreshDisplay(kRed);
}

void PlateAnalyzer::createHypocotyl(const Vec2& p) {
  const int i = nearestFreeSnake(p);
  std::cout << "new hypocotyl: " << i << std::endl;
  if (i < 0) {
    std::cout << "no more snakes available" << std::endl;
    return;
  }
  Snake& s = snakes()[i];
  created_[i] = true;
  markEdited(i);
  s.activate();
  s.setPoint(0, p);
  s.topTracker.pos = p;
  applyThresholdOf(i);
  s.seedFromClick(levels().mask(), kSeedAngle, kSeedLength, random_);
  s.baseTracker.pos = s.lastPoint();
}

void PlateAnalyzer::onRowBottomMouse(int event, int x, int y) {
  x = std::clamp(x, 0, std::max(0, display.cols - 1));
  y = std::clamp(y, 0, std::max(0, display.rows - 1));
  if (event == kMouseMove) {
    if (random_.next() * 10 / (RandomSource::kMax + 1) >= 1) return;
    display.copyTo(display_work);
    cv::line(display_work, cv::Point(0, y), cv::Point(display.cols - 1, y),
             cv::Scalar(255, 255, 255), 1, cv::LINE_8);
    if (!window_name.empty()) windows_.showImage(window_name, display_work);
    windows_.repaint(1);
  } else if (event == kLeftUp) {
    setRowBottom(y);
  } else if (event == kRightUp) {
    seedPlain(x, y);
  }
}

void PlateAnalyzer::setRowBottom(int y) {
  float best = static_cast<float>(display.rows);
  int row = 0;
  for (int r = 0; r < nb_rows; ++r) {
    float sum = 0.0f;
    int n = 0;
    for (int c = 0; c < nb_cols; ++c) {
      const Snake& s = snakes()[r * nb_cols + c];
      if (s.pointCount() == 0) continue;
      sum += s.lastPoint().y;
      ++n;
    }
    if (n == 0) continue;
    const float difference = absF(sum / n - static_cast<float>(y));
    if (difference < best) {
      best = difference;
      row = r;
    }
  }
  for (int c = 0; c < nb_cols; ++c) {
    snakes()[row * nb_cols + c].pinBase(y);
    markEdited(row * nb_cols + c);
    pipeline_.setBaseSet(row * nb_cols + c, true);
  }
  refreshDisplay(kRed);
}

void PlateAnalyzer::seedPlain(int x, int y) {
  // Only a hypocotyl created earlier and switched off since comes back.
  int i = -1;
  float best = 0.0f;
  for (int k = 0; k < nb_snakes; ++k) {
    if (!wasCreated(k) || snakes()[k].isInUse()) continue;
    const float d = squaredNorm(snakes()[k].point(0) - Vec2(x, y));
    if (i < 0 || d < best) {
      i = k;
      best = d;
    }
  }
  if (i < 0) {
    std::cout << kNoHypocotylYet << std::endl;
    return;
  }
  snakes()[i].activateWithCount(nb_seed_points);
  markEdited(i);
  toggleSelection(i);
}

void PlateAnalyzer::onSmoothnessSlider(int position) {
  tuning.smoothness = position;
  if (Snake* s = selectedSnake()) {
    markEdited(selected);
    s->setInternalWeight(position * tuning.smoothness_scale / tuning.smoothness_max);
    s->optimise(levels().mask(), 10, -1, random_);
  }
  refreshDisplay(kRed);
}

}  // namespace stemscan
