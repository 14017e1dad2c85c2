// Setting the image scale in the window: 'm', two left clicks on the ends of a known length on
// a ruler, then that length in mm typed as keys and Enter.
#include <iostream>
#include <locale>
#include <sstream>

#include "plate_analyzer/plate_analyzer.h"

namespace stemscan {
namespace {

constexpr int kEnter = 13;
constexpr int kNewLine = 10;
constexpr int kBackspace = 8;
constexpr int kEscape = 27;

}  // namespace

void PlateAnalyzer::startScaleMeasure() {
  scale_ = ScaleMeasure();
  scale_.clicks = 0;
  std::cout << "scale: left click on the two ends of a known length on the ruler (Esc: cancel)"
            << std::endl;
  updateTitle();
}

bool PlateAnalyzer::onScaleClick(const Vec2& p) {
  if (scale_.clicks < 0 || scale_.clicks >= 2) return false;
  scale_.ends[scale_.clicks++] = p;
  if (scale_.clicks == 1) {
    std::cout << "scale: first end at " << p.x << " " << p.y << "; now the other" << std::endl;
    updateTitle();
    return true;
  }
  const float pixels = norm(scale_.ends[1] - scale_.ends[0]);
  if (!(pixels > 0.0f)) {
    std::cout << "scale: the two ends are the same point; click the first end again" << std::endl;
    scale_.clicks = 0;
    updateTitle();
    return true;
  }
  // The length typed shows in the title bar: the console line ends here, whatever comes next.
  std::cout << "scale: " << pixels << " px; type that length in mm and press Enter" << std::endl;
  updateTitle();
  return true;
}

bool PlateAnalyzer::onScaleKey(int code) {
  if (scale_.clicks < 0) return false;
  const int key = code & 0xff;
  if (key == kEscape) {
    scale_ = ScaleMeasure();
    std::cout << "scale: cancelled" << std::endl;
    updateTitle();
    return true;
  }
  if (scale_.clicks < 2) return false;  // keys act as usual until both ends are clicked
  // A finished script answers every wait with <space>: the length it lacks never comes.
  if (windows_.inputExhausted()) {
    scale_ = ScaleMeasure();
    stopRun("the session script ended while the scale waited for its length in mm", kRunFailed);
    return true;
  }
  if ((key >= '0' && key <= '9') || key == '.') {
    scale_.typed += static_cast<char>(key);
    updateTitle();
  } else if (key == kBackspace && !scale_.typed.empty()) {
    scale_.typed.pop_back();
    updateTitle();
  } else if (key == kEnter || key == kNewLine) {
    double mm = 0.0;
    if (!parsePositive(scale_.typed, &mm)) {
      std::cout << "scale: \"" << scale_.typed << "\" is not a length in mm; type it again"
                << std::endl;
      scale_.typed.clear();
      updateTitle();
      return true;
    }
    const float pixels = norm(scale_.ends[1] - scale_.ends[0]);
    pipeline_.experiment().px_per_mm = pixels / mm;
    pipeline_.experiment().scale_source = "ruler ('m')";
    std::ostringstream line;
    line.imbue(std::locale::classic());
    line << "scale: " << *pipeline_.experiment().px_per_mm << " px/mm";
    std::cout << line.str() << std::endl;
    scale_ = ScaleMeasure();
    updateTitle();
  }
  // While a length is typed, no other key acts.
  return code != kNoKey;
}

}  // namespace stemscan
