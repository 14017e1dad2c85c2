#include "gui/highgui_window_system.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <opencv2/highgui.hpp>

namespace stemscan {

HighguiWindowSystem::~HighguiWindowSystem() = default;

bool HighguiWindowSystem::displayAvailable() {
  auto set = [](const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
  };
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  const bool offscreen = platform != nullptr && std::strstr(platform, "offscreen") != nullptr;
  return set("DISPLAY") || set("WAYLAND_DISPLAY") || offscreen;
}

namespace {

// The codes the window library gives for Shift, Ctrl, Caps Lock, Alt, Meta and Super pressed
// alone: the low byte of their X key symbols 0xffe1 ... 0xffee.
bool isModifierKey(int key) { return key >= 0xe1 && key <= 0xee; }

}  // namespace

void HighguiWindowSystem::createWindow(const std::string& window) {
  cv::namedWindow(window, cv::WINDOW_NORMAL | cv::WINDOW_GUI_NORMAL);
  open_.insert(window);
  closed_.erase(window);
}

void HighguiWindowSystem::destroyWindow(const std::string& window) {
  cv::destroyWindow(window);
  open_.erase(window);
  closed_.erase(window);
  retireContextsOf(window);
}

void HighguiWindowSystem::moveWindow(const std::string& window, int x, int y) {
  cv::moveWindow(window, x, y);
}

void HighguiWindowSystem::resizeWindow(const std::string& window, int width, int height) {
  cv::resizeWindow(window, width, height);
}

void HighguiWindowSystem::showImage(const std::string& window, const cv::Mat& image) {
  if (!image.empty()) cv::imshow(window, image);
}

void HighguiWindowSystem::setTitle(const std::string& window, const std::string& title) {
  cv::setWindowTitle(window, title);
}

void HighguiWindowSystem::createSlider(const std::string& slider, const std::string& window,
                                       int position, int maximum, SliderHandler handler) {
  auto key = std::make_pair(window, slider);
  auto existing = sliders_.find(key);
  SliderContext* context = nullptr;
  if (existing != sliders_.end()) {
    // The window library keeps a slider it already has (and its callback data): reuse it.
    context = existing->second.get();
    context->handler = std::move(handler);
  } else {
    auto fresh = std::make_unique<SliderContext>();
    fresh->handler = std::move(handler);
    context = fresh.get();
    sliders_[key] = std::move(fresh);
    context->silent = true;
    cv::createTrackbar(slider, window, nullptr, maximum, &HighguiWindowSystem::onSlider, context);
  }
  context->silent = true;
  cv::setTrackbarPos(slider, window, position);
  context->position = position;
  context->silent = false;
}

void HighguiWindowSystem::setSliderPosition(const std::string& slider, const std::string& window,
                                            int position) {
  cv::setTrackbarPos(slider, window, position);
}

void HighguiWindowSystem::setMouseHandler(const std::string& window, MouseHandler handler) {
  auto context = std::make_unique<MouseContext>();
  context->handler = std::move(handler);
  MouseContext* raw = context.get();
  auto old = mice_.find(window);
  if (old != mice_.end()) retired_mice_.push_back(std::move(old->second));
  mice_[window] = std::move(context);
  cv::setMouseCallback(window, &HighguiWindowSystem::onMouse, raw);
}

int HighguiWindowSystem::waitKey(int delayMs) {
  if (pending_key_ != kNoKey) {
    const int key = pending_key_;
    pending_key_ = kNoKey;
    return key;
  }
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(delayMs);
  while (true) {
    const int key = cv::waitKey(delayMs);
    if (!isModifierKey(key)) return key;
    if (delayMs > 0) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
      if (left <= 0) return kNoKey;
      delayMs = static_cast<int>(left);
    }
  }
}

bool HighguiWindowSystem::windowClosed(const std::string& window) {
  if (closed_.count(window) != 0) return true;
  if (open_.count(window) == 0) return false;
  double visible = 0.0;
  try {
    visible = cv::getWindowProperty(window, cv::WND_PROP_VISIBLE);
  } catch (const cv::Exception&) {
    visible = 0.0;
  }
  if (visible >= 1.0) return false;
  closed_.insert(window);
  return true;
}

void HighguiWindowSystem::repaint(int delayMs) {
  const int key = cv::waitKey(delayMs);
  if (key != kNoKey && !isModifierKey(key) && pending_key_ == kNoKey) pending_key_ = key;
}

void HighguiWindowSystem::onSlider(int position, void* context) {
  auto* slider = static_cast<SliderContext*>(context);
  if (slider->silent || position == slider->position) return;
  slider->position = position;
  if (slider->handler) slider->handler(position);
}

void HighguiWindowSystem::userMouse(const std::string& window, int event, int x, int y, int flags) {
  const auto mouse = mice_.find(window);
  if (mouse != mice_.end()) onMouse(event, x, y, flags, mouse->second.get());
}

void HighguiWindowSystem::onMouse(int event, int x, int y, int flags, void* context) {
  auto* mouse = static_cast<MouseContext*>(context);
  if (mouse->handler) mouse->handler(event, x, y, flags);
}

void HighguiWindowSystem::retireContextsOf(const std::string& window) {
  for (auto it = sliders_.begin(); it != sliders_.end();) {
    if (it->first.first == window) {
      retired_sliders_.push_back(std::move(it->second));
      it = sliders_.erase(it);
    } else {
      ++it;
    }
  }
  auto mouse = mice_.find(window);
  if (mouse != mice_.end()) {
    retired_mice_.push_back(std::move(mouse->second));
    mice_.erase(mouse);
  }
}

}  // namespace stemscan
