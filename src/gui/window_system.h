// The window-system seam: every call into the window library goes through this interface.
// One implementation forwards to OpenCV's highgui; another replays a session script
// headless, for tests and unattended runs.
#pragma once

#include <functional>
#include <opencv2/core/mat.hpp>
#include <string>

namespace stemscan {

// Mouse event codes and modifier flags as the window library reports them.
enum MouseEvent {
  kMouseMove = 0,
  kLeftDown = 1,
  kRightDown = 2,
  kMiddleDown = 3,
  kLeftUp = 4,
  kRightUp = 5,
  kMiddleUp = 6,
  kLeftDouble = 7,
  kRightDouble = 8,
  kMiddleDouble = 9,
};
enum MouseFlag { kFlagCtrl = 8, kFlagShift = 16, kFlagAlt = 32 };

// A wait that ends without a key returns this.
constexpr int kNoKey = -1;

class WindowSystem {
 public:
  // Callbacks carry their context in the closure.
  using MouseHandler = std::function<void(int event, int x, int y, int flags)>;
  using SliderHandler = std::function<void(int position)>;

  virtual ~WindowSystem() = default;

  // A resizable window that scales its image to its size.
  virtual void createWindow(const std::string& window) = 0;
  virtual void destroyWindow(const std::string& window) = 0;
  virtual void moveWindow(const std::string& window, int x, int y) = 0;
  virtual void resizeWindow(const std::string& window, int width, int height) = 0;
  virtual void showImage(const std::string& window, const cv::Mat& image) = 0;
  // The text in the window's title bar; the window keeps its name.
  virtual void setTitle(const std::string& window, const std::string& title) = 0;

  // Creating a slider at its initial position does not run its handler; moving it to a new
  // position with setSliderPosition does.
  virtual void createSlider(const std::string& slider, const std::string& window, int position,
                            int maximum, SliderHandler handler) = 0;
  virtual void setSliderPosition(const std::string& slider, const std::string& window,
                                 int position) = 0;
  virtual void setMouseHandler(const std::string& window, MouseHandler handler) = 0;
  // The program acting for the user (proposals the user then corrects): a mouse event on the
  // window, and a move of a slider, delivered to their handlers as the user's own would be,
  // and recorded as the user's.
  virtual void userMouse(const std::string& window, int event, int x, int y, int flags) = 0;
  virtual void userSlider(const std::string& slider, const std::string& window, int position) {
    setSliderPosition(slider, window, position);
  }

  // Waits up to delayMs milliseconds (0: forever) for a key while delivering mouse and slider
  // events to their handlers; returns the key code or kNoKey.
  virtual int waitKey(int delayMs) = 0;

  // Lets the windows redraw; never returns a key (a key pressed meanwhile is kept for the next
  // waitKey).
  virtual void repaint(int delayMs) = 0;

  // True once a scripted session has no events left; an interactive one never runs out.
  virtual bool inputExhausted() const { return false; }
  // True where no person sees the windows (a replayed script): instructions are not printed.
  virtual bool headless() const { return false; }

  // True when the user has closed the window (its close button), until it is created again.
  virtual bool windowClosed(const std::string& window) = 0;
};

}  // namespace stemscan
