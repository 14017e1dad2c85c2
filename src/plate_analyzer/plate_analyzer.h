// PlateAnalyzer: the application object. It runs the whole interactive analysis: the windows,
// the views of the images, the phases of a session, the keys and the mouse, the walk back
// through the images stored and the overlay images. What happens to the images themselves (the
// sequence, the contours, the thresholds, the store and the tables) is its window-free
// PlatePipeline's.
//
// The operations are spread over files by concern: the run loop, the monitoring keys, the
// mouse, the display, the thresholding and the result files.
#pragma once

#include <array>
#include <initializer_list>
#include <memory>
#include <opencv2/core/mat.hpp>
#include <optional>
#include <string>
#include <vector>

#include "analysis/plate_pipeline.h"
#include "gui/window_system.h"
#include "plate_analyzer/overlay_name.h"
#include "snake/snake.h"
#include "util/image_writer.h"
#include "util/random_source.h"
#include "util/vec2.h"

namespace stemscan {

// What the main window's mouse does.
enum InteractionMode { ModeNone = 0, ModeRowBottom = 2, ModeEdit = 3, ModeCalibrate = 4 };

// The threshold the calibration starts from, before any was set.
constexpr int kDefaultThreshold = 110;

// The tuning parameters the sliders and the command line change (the threshold lives with the
// thresholded images, in Thresholds).
struct TuningParameters {
  // Where the slider stands for the contours' own stiffness (an internal weight of 1.0).
  int smoothness = 50;
  int smoothness_max = 50;
  float smoothness_scale = 1.0f;
  int orientation_length = 15;
  int orientation_max = 100;
  int maxGrowth = 5;
};

// Window, slider and colour names the user sees.
extern const char* const kMainWindow;
extern const char* const kThresholdWindow;
extern const cv::Scalar kRed;
// The selected contour, and a contour the track checks flagged: colours that stand out on dark
// stems and light agar alike.
extern const cv::Scalar kSelectedColour;
extern const cv::Scalar kFlaggedColour;

class PlateAnalyzer {
 public:
  // Exit statuses of a run (a signal that stopped it gives 128 + its number).
  static constexpr int kRunOk = 0;
  static constexpr int kRunFailed = 1;
  static constexpr int kRunRefused = 2;

  PlateAnalyzer(int nb_rows, int nb_cols, int nb_seed_points, WindowSystem& windows,
                RandomSource& random);
  ~PlateAnalyzer();
  PlateAnalyzer(const PlateAnalyzer&) = delete;
  PlateAnalyzer& operator=(const PlateAnalyzer&) = delete;

  // Accessors; a pointer is null where there is no such entry.
  Snake* snake(int i);
  const Snake* snake(int i) const;
  int snakeCount() const { return nb_snakes; }
  Snake* snakeInCell(int column, int row);
  Snake* selectedSnake();
  const cv::Mat& maskImage() const { return pipeline_.thresholds().mask(); }
  // The hypocotyls' threshold values and the thresholded images.
  const Thresholds& thresholds() const { return pipeline_.thresholds(); }
  // The contours stored so far.
  const ResultStore& store() const { return pipeline_.store(); }
  InteractionMode getMode() const { return mode; }
  int selectedIndex() const { return selected; }
  const TuningParameters& tuningParameters() const { return tuning; }
  // The main window's scale (screen pixels per image pixel; -1 before it is shown) and the
  // threshold window's size.
  float displayScale() const { return display_scale; }
  cv::Size thresholdWindowSize() const { return {thresh_win_w, thresh_win_h}; }
  // The image in the main window (the frame with the contours drawn), the frame alone, and
  // whether the view is zoomed onto a region.
  const cv::Mat& shownImage() const { return display; }
  const cv::Mat& cleanFrame() const { return display_clean; }
  bool zoomed() const { return roi_active; }
  // The colour contour i is drawn in: `plain`, unless it is selected or flagged.
  cv::Scalar contourColour(int i, const cv::Scalar& plain = kRed) const;
  // How many contours in use the track checks flagged on the image shown (corrections aside).
  int flaggedCount() const;
  // The region zoomed onto (the whole frame when not zoomed), and its share of the frame.
  cv::Rect zoomRegion() const { return roi; }
  float zoomFactor() const { return roi_zoom; }
  void setHalfWindowAll(int n);
  void deactivateAll();
  void setTrace(bool on) { pipeline_.setTrace(on); }
  void setMovingBase(bool on) { moving_base = on; }
  // The refined fit (--refine): the top to the stem's apex, every point on its centreline.
  void setRefine(bool on) { refine = on; }
  void setMaxGrowth(int n) { tuning.maxGrowth = n; }
  // --detect: the seedlings and a threshold found on the first image are proposed, as the
  // user's own clicks and slider moves, for the user to correct.
  void setDetect(bool on) { detect_ = on; }
  // --bright: light seedlings on a dark background; every image is analysed as its negative.
  void setBright(bool on) {
    bright_ = on;
    pipeline_.thresholds().setNegative(on);
  }
  // --even-background: every grey image divided by the plate's grey around each pixel.
  void setEvenBackground(bool on) { pipeline_.thresholds().setEvenBackground(on); }
  // The times and the scale of the images (--interval, --times, --layout, --px-per-mm, --dpi).
  void setExperiment(const Experiment& experiment) { pipeline_.experiment() = experiment; }
  // The program's version and the command line, for the run record.
  void setRunInfo(const std::string& version, const std::string& commandLine) {
    run_info_.version = version;
    run_info_.commandLine = commandLine;
  }
  // What the command line set, as it was set.
  struct Options {
    bool trace, moving_base, refine, save_images;
    std::string image_prefix, image_ext;
    int maxGrowth;
  };
  Options options() const {
    return {pipeline_.tracing(), moving_base, refine,          save_images,
            image_prefix,        image_ext,   tuning.maxGrowth};
  }
  // One self-updating progress line on standard error (for unattended runs on a terminal).
  void setShowProgress(bool on) { show_progress_ = on; }
  // True unless the user has walked back through the images already analysed.
  bool atPresent() const { return !present_; }

  // Run loop: run() is start() and, when that went well, analyse().
  int run(int halfWindow, const std::string& imagePath, const std::string& outBaseName);
  // The start-up checks (the sequence, its times, what the outputs would replace, the tables'
  // folder): kRunOk, or the status the run ends with. Nothing is written yet.
  int start(int halfWindow, const std::string& imagePath, const std::string& outBaseName);
  // The session itself, after a start() that went well: the windows, the phases, the images.
  int analyse();
  bool readNextFrame();
  void seedPool();

  // Store.
  void storeAll(unsigned t);
  void restoreAll(unsigned t);

  // Monitoring keys and the command console.
  enum class WaitEnd { kNone, kNext, kQuit };
  WaitEnd handleMonitoringKey(int key);
  void commandConsole();

  // The scale, measured on a ruler in the image ('m').
  void startScaleMeasure();
  // True when the click was taken as an end of the ruler.
  bool onScaleClick(const Vec2& p);
  // True when the key was taken by the typing of the ruler's length.
  bool onScaleKey(int code);

  // Mouse.
  void onMouse(int event, int x, int y, int flags);
  void onEditMouse(int event, int flags, int x, int y);
  void onRowBottomMouse(int event, int x, int y);
  // The hypocotyl in use whose top is nearest to p; -1 where none is.
  int nearestInUse(const Vec2& p) const;
  // The hypocotyl created so far (in use or switched off) whose top or base is nearest to p,
  // but `exclude`; -1 where none is.
  enum class ContourEnd { kTop, kBase };
  int nearestCreated(const Vec2& p, ContourEnd end, int exclude = -1) const;
  int nearestFreeSnake(const Vec2& p) const;
  void toggleSelection(int i);
  void selectNearest(int x, int y);
  void pickPoint(int x, int y);
  void startContourDrag(int x, int y);
  void dragTo(int x, int y);
  void endDrag();
  void createHypocotyl(const Vec2& p);
  void setRowBottom(int y);
  void seedPlain(int x, int y);
  void onSmoothnessSlider(int position);

  // Display.
  void createMainWindow(const std::string& name);
  void destroyMainWindow();
  void refreshDisplay(const cv::Scalar& colour);
  void drawUnselected();
  void showSelected();
  void showOrientationPreview();
  void scaleMainWindow(float factor);
  void zoomAt(const Vec2& point, float factor);
  void zoomToHypocotyl(int column, int row, int margin);
  void resetZoom(bool full);
  void clearRegions();
  void applyRegion();
  void setMode(InteractionMode m);
  void onOrientationSlider(int position);

  // Thresholding and calibration.
  // Thresholds both images at hypocotyl `index`'s own value.
  void applyThresholdOf(int index);
  // Thresholds both images at the value being calibrated: shared by all, or the selected
  // hypocotyl's own.
  void applyCalibrationThreshold();
  void setThreshold(int value);
  void openThresholdWindow(int index);
  void scaleThresholdWindow(float step);
  // The calibration of one value for all (which 'd' turns into calibrateEach()), of each
  // hypocotyl in turn, and of one hypocotyl again (Shift + right click; ended by 'g').
  void calibrateAll();
  void calibrateEach();
  // Finds the seedlings on the image shown and creates a hypocotyl at each one's top, with a
  // Ctrl + Alt + right click of the program's own; says what it found.
  void proposeSeedlings();
  // Moves the threshold slider to the automatic value of hypocotyl `index` (all of them for
  // -1), saying so.
  void proposeThreshold(int index);
  void recalibrate(int which);
  // Tracks the ends of every hypocotyl in use into the current image and fits each contour.
  void trackHypocotyls(int endMode);
  // Fits the contour again on this image with its ends where their trackers are, without
  // tracking them again (after '+' and '-': the ends were already tracked into this image, a
  // second tracking would move them twice).
  void refitHypocotyl(int index);
  void onThresholdSlider(int value);
  void onThresholdMouse(int event);

  // Result files (written by the pipeline) and overlay images.
  void writeResultFiles();
  void updateResultFiles();
  bool parseOverlayName(const std::string& value);
  // False, saying why, when an overlay image could replace a frame of the sequence or a table.
  bool overlaysSpareInputs(const std::string& outputName) const;
  // Queues the overlay image of time index t; it is written on a second thread.
  void saveOverlay(unsigned t);
  // Returns once every queued overlay image is on disk (or reported as not written).
  void flushOverlays();

 private:
  std::vector<Snake>& snakes() { return pipeline_.snakes(); }
  const std::vector<Snake>& snakes() const { return pipeline_.snakes(); }
  Thresholds& levels() { return pipeline_.thresholds(); }

  int nb_snakes = 0;
  int nb_rows = 0;
  int nb_cols = 0;
  int nb_seed_points = 10;
  cv::Mat display;
  cv::Mat display_clean;
  cv::Mat display_work;
  std::string window_name;
  bool roi_active = false;
  cv::Rect roi;
  float roi_zoom = 1.0f;
  float display_scale = -1.0f;
  int thresh_win_w = 200;
  int thresh_win_h = 200;
  int selected = -1;
  int drag_point = -1;
  int drag_snake = -1;
  Vec2 last_mouse;
  bool save_images = false;
  bool moving_base = false;
  bool refine = false;
  bool show_orientation = false;
  std::string image_ext = ".tif";
  std::string image_prefix = "results/track";
  InteractionMode mode = ModeNone;
  TuningParameters tuning;

  // A Snake's state as the user left it, kept while walking through the history.
  struct SnakeState {
    std::array<Vec2, Snake::kMaxPoints> points;
    int count = 0;
    bool active = false;
    float internalWeight = 1.0f;
    Vec2 top;
    Vec2 base;
  };
  // The newest image read and its contours, while the user looks at earlier images.
  struct Present {
    unsigned time = 0;
    std::vector<SnakeState> snakes;
    std::vector<bool> edited;
    std::vector<unsigned> flags;
  };

  // Run phases.
  // Prints how to use the windows, where a person sees them.
  void instruct(std::initializer_list<const char*> lines) const;
  void selectionPhase();
  void calibrationPhase();
  void rowBottomPhase();
  void monitor();
  // Waits in `sliceMs` slices until the key `until`; 'i' and 'o' scale the main window when
  // `scaleKeys` is set. False when the run was stopped meanwhile.
  bool waitForKey(int until, int sliceMs, bool scaleKeys);

  // Frames.
  // Gives each image of the sequence its time; false, saying why, when the times listed do not
  // fit the sequence.
  bool timeEveryImage();
  bool openSequence(const std::string& imagePath);
  // Shows the image the pipeline read and thresholds it.
  void showFrame(const cv::Mat& frame);
  bool loadFrame(unsigned t);
  unsigned timeIndex() const { return pipeline_.timeIndex(); }

  // History walk.
  void stepBack();
  // To the next image stored (with a flag on an uncorrected contour, with `flaggedOnly`), or
  // back to the present.
  void stepForward(bool flaggedOnly = false);
  void saveCorrections();
  void toggleOrientationSlider();
  std::vector<SnakeState> captureSnakes() const;
  void restoreSnakes(const std::vector<SnakeState>& states);

  // Views of the images while the zoom region is set on them.
  cv::Mat displayView(cv::Mat& image);
  // The view of `display` to draw on; from then on it no longer holds the clean frame alone.
  cv::Mat drawingView();
  cv::Mat workView(const cv::Mat& image) const;
  cv::Rect clippedRegion() const;
  void showDisplay();
  // Sizes the main window to the whole frame times display_scale (1 px at the least).
  void resizeMainWindow();

  int nearestContour(const Vec2& p, ContourEnd end, bool inUseOnly, int exclude) const;
  // The track checks flagged contour i on the image shown, and the user did not correct it.
  bool isFlagged(int i) const;
  // True for a hypocotyl the user created (or one restored from the store): a grid cell never
  // used holds only scattered start-up points, which no click brings back.
  bool wasCreated(int i) const { return created_[static_cast<std::size_t>(i)]; }
  // The user changed hypocotyl i by hand on the image shown (none yet when it appears).
  void markEdited(int i) {
    if (i >= 0 && i < nb_snakes) edited_[static_cast<std::size_t>(i)] = true;
  }
  // The main window's title: where the user is (the phase, or the image shown).
  void updateTitle();
  void setMainTitle(const std::string& title);
  // Stops the run in order (tables written) with a message and the run's exit status: when a
  // scripted session ends in a wait that only a key it lacks can end, on a signal, or when the
  // user closes the main window.
  void stopRun(const std::string& why, int status);
  // Looks for a signal or a closed main window after a wait; true when the run must stop.
  bool interrupted();
  // A mouse action that waits for keys itself (the command console, a recalibration) while
  // another such wait runs is refused: waits never nest deeper than one.
  bool beginModalWait();
  void endModalWait() { modal_wait_ = false; }

  WindowSystem& windows_;
  RandomSource& random_;
  PlatePipeline pipeline_;
  std::optional<Present> present_;
  bool display_region_set_ = false;
  bool work_region_set_ = false;
  bool stopped_ = false;
  int stop_status_ = kRunOk;
  bool modal_wait_ = false;
  bool display_is_clean_ = false;  // `display` holds `display_clean`'s pixels, nothing drawn
  // `display` differs from `display_clean` only in the boxes `drawn_`, where the last redraw of
  // the whole frame drew the contours.
  bool drawn_only_ = false;
  std::vector<cv::Rect> drawn_;
  bool show_progress_ = false;
  struct ScaleMeasure {
    int clicks = -1;  // ends clicked so far; -1 when no measure runs
    Vec2 ends[2];
    std::string typed;  // the length in mm, as typed so far
  };
  ScaleMeasure scale_;
  std::vector<bool> created_;
  std::vector<bool> edited_;
  enum class Phase { kSelection, kCalibration, kRowBottoms, kMonitoring };
  Phase phase_ = Phase::kSelection;
  int calibrating_ = -1;  // the hypocotyl calibrated on its own ('d'); -1 for none
  bool detect_ = false;
  bool bright_ = false;
  int automatic_threshold_ = -1;        // of all the seedlings found; -1 before any
  std::vector<cv::Rect> detected_box_;  // per hypocotyl, the seedling found there (or empty)
  float stem_width_ = 0;                // of the seedlings found, their median
  std::vector<unsigned> flags_;         // the track checks' flags on the image shown
  RunInfo run_info_;
  std::string title_;
  std::unique_ptr<ImageWriter> overlay_writer_;
};

}  // namespace stemscan
