#include "gui/highgui_window_system.h"

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

void HighguiWindowSystem::createWindow(const std::string& window) {
  cv::namedWindow(window, cv::WINDOW_NORMAL | cv::WINDOW_GUI_NORMAL);
}

void HighguiWindowSystem::destroyWindow(const std::string& window) {
  cv::destroyWindow(window);
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
  return cv::waitKey(delayMs);
}

void HighguiWindowSystem::repaint(int delayMs) {
  const int key = cv::waitKey(delayMs);
  if (key != kNoKey && pending_key_ == kNoKey) pending_key_ = key;
}

void HighguiWindowSystem::onSlider(int position, void* context) {
  auto* slider = static_cast<SliderContext*>(context);
  if (slider->silent || position == slider->position) return;
  slider->position = position;
  if (slider->handler) slider->handler(position);
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
