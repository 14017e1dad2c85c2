#include "gui/recording_window_system.h"

#include <utility>

namespace stemscan {

RecordingWindowSystem::RecordingWindowSystem(WindowSystem& inner, std::string path, uint32_t seed,
                                             std::string commandLine)
    : inner_(inner), path_(std::move(path)), seed_(seed), commandLine_(std::move(commandLine)) {}

bool RecordingWindowSystem::open() {
  out_.open(path_, std::ios::trunc);
  if (!commandLine_.empty()) out_ << kCommandLinePrefix << commandLine_ << "\n";
  out_ << kRecordHeader << "; replay it with --script=" << path_ << "\n"
       << "seed " << seed_ << std::endl;
  return isOpen();
}

void RecordingWindowSystem::record(const SessionEvent& event) {
  if (out_.is_open()) out_ << formatSessionEvent(event) << std::endl;
}

void RecordingWindowSystem::createWindow(const std::string& window) {
  inner_.createWindow(window);
  open_.insert(window);
}

void RecordingWindowSystem::destroyWindow(const std::string& window) {
  inner_.destroyWindow(window);
  open_.erase(window);
}

void RecordingWindowSystem::recordClosedWindows() {
  for (auto it = open_.begin(); it != open_.end();) {
    if (inner_.windowClosed(*it)) {
      SessionEvent event;
      event.kind = SessionEvent::Kind::kClose;
      event.window = *it;
      record(event);
      it = open_.erase(it);
    } else {
      ++it;
    }
  }
}

void RecordingWindowSystem::createSlider(const std::string& slider, const std::string& window,
                                         int position, int maximum, SliderHandler handler) {
  const bool outer = programMoving_;
  programMoving_ = true;  // placing a new slider is the program's move
  inner_.createSlider(slider, window, position, maximum,
                      [this, slider, window, handler = std::move(handler)](int value) {
                        if (!programMoving_) {
                          SessionEvent event;
                          event.kind = SessionEvent::Kind::kSlider;
                          event.window = window;
                          event.slider = slider;
                          event.value = value;
                          record(event);
                        }
                        if (handler) handler(value);
                      });
  programMoving_ = outer;
}

void RecordingWindowSystem::setSliderPosition(const std::string& slider, const std::string& window,
                                              int position) {
  const bool outer = programMoving_;
  programMoving_ = true;
  inner_.setSliderPosition(slider, window, position);
  programMoving_ = outer;
}

void RecordingWindowSystem::userSlider(const std::string& slider, const std::string& window,
                                       int position) {
  const bool outer = programMoving_;
  programMoving_ = false;  // the move is the user's: its handler records it
  inner_.setSliderPosition(slider, window, position);
  programMoving_ = outer;
}

void RecordingWindowSystem::setMouseHandler(const std::string& window, MouseHandler handler) {
  inner_.setMouseHandler(
      window, [this, window, handler = std::move(handler)](int code, int x, int y, int flags) {
        SessionEvent event;
        event.kind = SessionEvent::Kind::kMouse;
        event.window = window;
        event.mouseEvent = code;
        event.x = x;
        event.y = y;
        event.flags = flags & (kFlagCtrl | kFlagShift | kFlagAlt);
        record(event);
        // A user's event that reaches a handler while the program moves a slider is the user's.
        const bool outer = programMoving_;
        programMoving_ = false;
        if (handler) handler(code, x, y, flags);
        programMoving_ = outer;
      });
}

int RecordingWindowSystem::waitKey(int delayMs) {
  // Events arriving inside a wait are the user's, whoever asked for the wait.
  const bool outer = programMoving_;
  programMoving_ = false;
  const int key = inner_.waitKey(delayMs);
  programMoving_ = outer;
  // A window closed during the wait ends it before its key counts: replayed, the close comes
  // first and ends the wait.
  const std::size_t openBefore = open_.size();
  recordClosedWindows();
  if (open_.size() != openBefore) return kNoKey;
  SessionEvent event;
  if (key != kNoKey) {
    event.kind = SessionEvent::Kind::kKey;
    event.key = key;
    record(event);
  } else if (delayMs <= 0 || delayMs >= kRecordedTimeoutMs) {
    event.kind = SessionEvent::Kind::kTimeout;
    record(event);
  }
  return key;
}

}  // namespace stemscan
