// The window system on OpenCV's highgui (Qt).
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "gui/window_system.h"

namespace stemscan {

class HighguiWindowSystem : public WindowSystem {
 public:
  ~HighguiWindowSystem() override;

  // False when no display can be reached (no DISPLAY or WAYLAND_DISPLAY, and Qt not told to
  // run offscreen); the window library would abort the process then.
  static bool displayAvailable();

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
  // Modifier keys pressed alone (Shift, Ctrl, Alt, ...) are not keys of the program: the wait
  // goes on without them.
  int waitKey(int delayMs) override;
  void repaint(int delayMs) override;
  bool windowClosed(const std::string& window) override;

 private:
  struct SliderContext {
    SliderHandler handler;
    int position = 0;
    bool silent = false;  // set while the program itself positions a new slider
  };
  struct MouseContext {
    MouseHandler handler;
  };
  static void onSlider(int position, void* context);
  static void onMouse(int event, int x, int y, int flags, void* context);
  void retireContextsOf(const std::string& window);

  std::map<std::pair<std::string, std::string>, std::unique_ptr<SliderContext>> sliders_;
  std::map<std::string, std::unique_ptr<MouseContext>> mice_;
  // Contexts of destroyed windows stay alive: a callback may still be running on them.
  std::vector<std::unique_ptr<SliderContext>> retired_sliders_;
  std::vector<std::unique_ptr<MouseContext>> retired_mice_;
  int pending_key_ = kNoKey;
  std::set<std::string> open_;    // windows created and not destroyed
  std::set<std::string> closed_;  // of those, the ones the user closed
};

}  // namespace stemscan
