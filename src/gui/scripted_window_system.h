// A headless window system that replays a session script. It keeps what a test wants to
// see of every window: whether it exists, where it stands, its size, its sliders and the
// last image shown.
#pragma once

#include <map>
#include <ostream>
#include <string>

#include "gui/session_script.h"
#include "gui/window_system.h"

namespace stemscan {

class ScriptedWindowSystem : public WindowSystem {
 public:
  struct Slider {
    int position = 0;
    int maximum = 0;
    SliderHandler handler;
  };
  struct Window {
    bool exists = false;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    std::map<std::string, Slider> sliders;
    MouseHandler mouse;
    cv::Size lastSize;  // of the last image shown (its pixels are not kept: no copy per image)
    int shows = 0;      // how many times an image was shown
    bool closedByUser = false;
    std::string title;  // the title bar's text, when the program set one
  };

  // Problems with events (a window or slider that does not exist) go to `messages`.
  explicit ScriptedWindowSystem(SessionScript script, std::ostream& messages);

  void createWindow(const std::string& window) override;
  void destroyWindow(const std::string& window) override;
  void moveWindow(const std::string& window, int x, int y) override;
  void resizeWindow(const std::string& window, int width, int height) override;
  void showImage(const std::string& window, const cv::Mat& image) override;
  void setTitle(const std::string& window, const std::string& title) override;
  void createSlider(const std::string& slider, const std::string& window, int position, int maximum,
                    SliderHandler handler) override;
  void setSliderPosition(const std::string& slider, const std::string& window,
                         int position) override;
  void setMouseHandler(const std::string& window, MouseHandler handler) override;
  void userMouse(const std::string& window, int event, int x, int y, int flags) override;

  // Delivers the script's mouse and slider events in order and returns at the next key
  // (its code), timeout or window closed (kNoKey). Once the script has run out, every wait
  // answers as <space> would.
  int waitKey(int delayMs) override;
  void repaint(int delayMs) override;
  bool inputExhausted() const override { return next_ >= script_.events.size(); }
  bool headless() const override { return true; }
  bool windowClosed(const std::string& window) override;

  // What a test inspects. A window never created reads as not existing.
  const Window& window(const std::string& name) const;
  int waits() const { return waits_; }

 private:
  void deliver(const SessionEvent& event);

  SessionScript script_;
  std::ostream& messages_;
  std::size_t next_ = 0;
  int waits_ = 0;
  std::map<std::string, Window> windows_;
};

}  // namespace stemscan
