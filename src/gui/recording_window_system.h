// A window system that writes every user event it passes on to a session script: keys, mouse
// events, the user's slider moves, and the time-outs of long waits (the command prompt's); not
// the slider moves the program makes itself, nor the time-outs of short polling waits. Each
// line is flushed as it is written, so a crash keeps every event before it.
#pragma once

#include <cstdint>
#include <fstream>
#include <memory>
#include <set>
#include <string>

#include "gui/session_script.h"
#include "gui/window_system.h"

namespace stemscan {

class RecordingWindowSystem : public WindowSystem {
 public:
  // Waits at least this long are user-visible prompts: their time-outs are recorded.
  static constexpr int kRecordedTimeoutMs = 1000;

  // How a record begins: the command line's comment, then this one (without a command line).
  static constexpr const char* kCommandLinePrefix = "# recorded with: ";
  static constexpr const char* kRecordHeader = "# StemScan session record";

  // Records what `inner` delivers into `path`, starting with a comment holding the command line
  // of the run, then its seed. Nothing is created or truncated until open(): a run that is
  // refused at its start leaves an earlier record as it was.
  RecordingWindowSystem(WindowSystem& inner, std::string path, uint32_t seed,
                        std::string commandLine = "");

  // Creates (or replaces) the record and writes its first lines; false when it cannot.
  bool open();
  bool isOpen() const { return out_.is_open() && out_.good(); }

  void createWindow(const std::string& window) override;
  void destroyWindow(const std::string& window) override;
  void moveWindow(const std::string& window, int x, int y) override {
    inner_.moveWindow(window, x, y);
  }
  void resizeWindow(const std::string& window, int width, int height) override {
    inner_.resizeWindow(window, width, height);
  }
  void showImage(const std::string& window, const cv::Mat& image) override {
    inner_.showImage(window, image);
  }
  void setTitle(const std::string& window, const std::string& title) override {
    inner_.setTitle(window, title);
  }
  void createSlider(const std::string& slider, const std::string& window, int position, int maximum,
                    SliderHandler handler) override;
  void setSliderPosition(const std::string& slider, const std::string& window,
                         int position) override;
  void setMouseHandler(const std::string& window, MouseHandler handler) override;
  void userMouse(const std::string& window, int event, int x, int y, int flags) override {
    inner_.userMouse(window, event, x, y, flags);
  }
  void userSlider(const std::string& slider, const std::string& window, int position) override;
  int waitKey(int delayMs) override;
  void repaint(int delayMs) override { inner_.repaint(delayMs); }
  bool inputExhausted() const override { return inner_.inputExhausted(); }
  bool headless() const override { return inner_.headless(); }
  bool windowClosed(const std::string& window) override { return inner_.windowClosed(window); }

 private:
  void record(const SessionEvent& event);
  // Records the close of every open window that the user closed during the last wait.
  void recordClosedWindows();

  WindowSystem& inner_;
  std::string path_;
  uint32_t seed_ = 0;
  std::string commandLine_;
  std::ofstream out_;
  bool programMoving_ = false;  // a slider is being moved by the program, not the user
  std::set<std::string> open_;  // windows created and neither destroyed nor closed
};

}  // namespace stemscan
