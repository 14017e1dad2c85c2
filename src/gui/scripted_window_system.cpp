#include "gui/scripted_window_system.h"

#include <utility>

namespace stemscan {

namespace {
constexpr int kSpace = 32;
}

ScriptedWindowSystem::ScriptedWindowSystem(SessionScript script, std::ostream& messages)
    : script_(std::move(script)), messages_(messages) {}

void ScriptedWindowSystem::createWindow(const std::string& window) {
  Window& w = windows_[window];
  if (!w.exists) w = Window();
  w.exists = true;
}

void ScriptedWindowSystem::destroyWindow(const std::string& window) {
  auto it = windows_.find(window);
  if (it != windows_.end()) it->second = Window();
}

void ScriptedWindowSystem::moveWindow(const std::string& window, int x, int y) {
  auto it = windows_.find(window);
  if (it == windows_.end() || !it->second.exists) return;
  it->second.x = x;
  it->second.y = y;
}

void ScriptedWindowSystem::resizeWindow(const std::string& window, int width, int height) {
  auto it = windows_.find(window);
  if (it == windows_.end() || !it->second.exists) return;
  it->second.width = width;
  it->second.height = height;
}

void ScriptedWindowSystem::showImage(const std::string& window, const cv::Mat& image) {
  // Like the window library, showing in an unknown window creates it.
  createWindow(window);
  Window& w = windows_[window];
  w.lastSize = image.size();
  ++w.shows;
}

void ScriptedWindowSystem::setTitle(const std::string& window, const std::string& title) {
  auto it = windows_.find(window);
  if (it != windows_.end() && it->second.exists) it->second.title = title;
}

void ScriptedWindowSystem::createSlider(const std::string& slider, const std::string& window,
                                        int position, int maximum, SliderHandler handler) {
  auto it = windows_.find(window);
  if (it == windows_.end() || !it->second.exists) return;
  Slider& s = it->second.sliders[slider];
  s.position = position;
  s.maximum = maximum;
  s.handler = std::move(handler);
}

void ScriptedWindowSystem::userMouse(const std::string& window, int event, int x, int y,
                                     int flags) {
  const auto it = windows_.find(window);
  if (it == windows_.end() || !it->second.exists) return;
  const MouseHandler handler = it->second.mouse;  // the handler may replace itself
  if (handler) handler(event, x, y, flags);
}

void ScriptedWindowSystem::setSliderPosition(const std::string& slider, const std::string& window,
                                             int position) {
  auto it = windows_.find(window);
  if (it == windows_.end()) return;
  auto s = it->second.sliders.find(slider);
  if (s == it->second.sliders.end()) return;
  if (position < 0) position = 0;
  if (position > s->second.maximum) position = s->second.maximum;
  if (position == s->second.position) return;
  s->second.position = position;
  // The handler may destroy the window: call a copy.
  SliderHandler handler = s->second.handler;
  if (handler) handler(position);
}

void ScriptedWindowSystem::setMouseHandler(const std::string& window, MouseHandler handler) {
  auto it = windows_.find(window);
  if (it == windows_.end() || !it->second.exists) return;
  it->second.mouse = std::move(handler);
}

int ScriptedWindowSystem::waitKey(int /*delayMs*/) {
  ++waits_;
  while (next_ < script_.events.size()) {
    const SessionEvent event = script_.events[next_++];
    switch (event.kind) {
      case SessionEvent::Kind::kKey:
        return event.key;
      case SessionEvent::Kind::kTimeout:
        return kNoKey;
      case SessionEvent::Kind::kClose:
        if (windows_[event.window].exists) {
          windows_[event.window] = Window();
          windows_[event.window].closedByUser = true;
          return kNoKey;
        }
        messages_ << script_.path << ":" << event.line << ": no window \"" << event.window
                  << "\"; event skipped" << std::endl;
        break;
      default:
        deliver(event);  // may wait again and consume the following lines
    }
  }
  return kSpace;
}

void ScriptedWindowSystem::repaint(int /*delayMs*/) {}

void ScriptedWindowSystem::deliver(const SessionEvent& event) {
  const std::string where = script_.path + ":" + std::to_string(event.line) + ": ";
  auto it = windows_.find(event.window);
  if (it == windows_.end() || !it->second.exists) {
    messages_ << where << "no window \"" << event.window << "\"; event skipped" << std::endl;
    return;
  }
  if (event.kind == SessionEvent::Kind::kMouse) {
    MouseHandler handler = it->second.mouse;
    if (handler) handler(event.mouseEvent, event.x, event.y, event.flags);
    return;
  }
  if (it->second.sliders.count(event.slider) == 0) {
    messages_ << where << "no slider \"" << event.slider << "\" on window \"" << event.window
              << "\"; event skipped" << std::endl;
    return;
  }
  setSliderPosition(event.slider, event.window, event.value);
}

bool ScriptedWindowSystem::windowClosed(const std::string& window) {
  auto it = windows_.find(window);
  return it != windows_.end() && it->second.closedByUser;
}

const ScriptedWindowSystem::Window& ScriptedWindowSystem::window(const std::string& name) const {
  static const Window kNone;
  auto it = windows_.find(name);
  return it == windows_.end() ? kNone : it->second;
}

}  // namespace stemscan
