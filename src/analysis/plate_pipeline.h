// PlatePipeline: what happens to the images of a plate, with no window. It reads the sequence
// and gives each image its time, thresholds each image, carries every hypocotyl's contour into
// it and fits it, stores the contours and writes the tables. The windows' run (PlateAnalyzer)
// drives it image by image and adds what a person does: the choice of the hypocotyls, the
// thresholds, the corrections and the walk back through the images stored.
#pragma once

#include <memory>
#include <opencv2/core/mat.hpp>
#include <string>
#include <vector>

#include "analysis/plate_tracking.h"
#include "analysis/thresholds.h"
#include "checks/track_checks.h"
#include "experiment/experiment.h"
#include "export/exports.h"
#include "grabber/img_grabber.h"
#include "result_store/result_store.h"
#include "result_store/result_tables.h"
#include "snake/snake.h"
#include "util/random_source.h"

namespace stemscan {

// What a run record says beyond what the pipeline knows.
struct RunInfo {
  std::string version;      // the program's, with its commit
  std::string commandLine;  // as typed
  std::string started;      // clock time, ISO 8601
  std::string mode;         // "default" or "refine" (and "moving base")
};

// The clock time now, ISO 8601 (local time).
std::string clockNow();

class PlatePipeline {
 public:
  // A plate of `rows` x `cols` hypocotyls, each thresholded at `threshold` until calibrated.
  PlatePipeline(int rows, int cols, int threshold, RandomSource& random);
  ~PlatePipeline();
  PlatePipeline(const PlatePipeline&) = delete;
  PlatePipeline& operator=(const PlatePipeline&) = delete;

  int rows() const { return rows_; }
  int cols() const { return cols_; }
  int size() const { return rows_ * cols_; }
  // The contours, one per grid cell, row by row.
  std::vector<Snake>& snakes() { return snakes_; }
  const std::vector<Snake>& snakes() const { return snakes_; }
  Thresholds& thresholds() { return thresholds_; }
  const Thresholds& thresholds() const { return thresholds_; }
  const ResultStore& store() const { return store_; }
  Experiment& experiment() { return experiment_; }
  // --trace: the contours are followed, no table is written.
  void setTrace(bool on) { trace_ = on; }
  bool tracing() const { return trace_; }

  // The sequence the example image `path` belongs to; false, saying why, when it has no
  // readable image. `first` receives the first image.
  bool openSequence(const std::string& path, cv::Mat* first);
  // Gives each image its time; false, saying why, when the times listed do not fit.
  bool timeEveryImage();
  const ImgGrabber& sequence() const { return *grabber_; }
  bool isOpen() const { return grabber_ != nullptr; }
  cv::Size frameSize() const { return frame_size_; }
  // The next image of the sequence's size, into `frame`; an image that cannot be read or is of
  // another size is skipped, saying why, and keeps its line of the tables. False at the end.
  bool readNext(cv::Mat& frame);
  // Image t again (stepping back and forth); false, leaving the sequence where it was, when it
  // cannot be read.
  bool load(unsigned t, cv::Mat& frame);
  // The time index of the image read last.
  unsigned timeIndex() const { return grabber_->index() - 1; }
  unsigned imageCount() const { return grabber_->getCount(); }
  // The file name of the image read last, without its folder.
  std::string currentFile() const;
  // The file names of the sequence's images, without their folders.
  const std::vector<std::string>& fileNames() const { return file_names_; }
  // Frees the frames held; the sequence stays open.
  void releaseFrames();

  // Carries every hypocotyl in use into the image read last and fits it (trackAndFit); in the
  // refined fit, a contour that ran onto another's stem goes back (keepApart), flagged merged.
  void track(const TrackingSettings& settings, int endMode);
  // The user put hypocotyl i's base (it stays where it was put).
  void setBaseSet(int i, bool on) { base_set_[static_cast<std::size_t>(i)] = on; }
  // " (hypocotyl i, row r, col c, image t: file)": which contour a message is about.
  std::string context(int i) const;

  // The track checks' flags of every hypocotyl's contour as it is now, on the image read last.
  std::vector<unsigned> checkTracks() const;

  // Stores every hypocotyl's contour at time t, `corrected[i]` saying that the user changed
  // contour i on that image, with the flags of the track checks (none on a corrected one);
  // says which flags are new.
  void storeImage(unsigned t, const std::vector<bool>& corrected);
  // The contours stored at time t back into the hypocotyls; `created[i]` is set for those
  // stored, `corrected[i]` says whether contour i was stored with a correction.
  void restoreImage(unsigned t, std::vector<bool>& created, std::vector<bool>& corrected);

  // False, saying why, when an output would replace an image of the sequence, or a file that
  // StemScan did not write.
  bool outputsSpareInputs(const std::string& outputName) const;
  // Checks that the tables' folder takes files; tables already there are kept until new ones
  // replace them whole.
  bool openResultFiles(const std::string& outputName);
  // Rewrites the tables whole (after corrections of an earlier image, and at the end).
  void writeResultFiles(float orientationLength);
  // Appends what was stored since the last writing (or rewrites, where stored lines changed).
  void updateResultFiles(float orientationLength);
  // Writes <out>_run.txt: the version, the command line, start and end, the mode, each
  // hypocotyl's threshold, the scale and the time and where they came from, the layout, and
  // the images read, skipped and analysed.
  void writeRunRecord(const RunInfo& info);
  // Where the tables are, and each hypocotyl's first and last length; or, when a table could
  // not be written, which. False in that case.
  bool printSummary() const;

 private:
  ExportSources exportSources(float orientationLength) const;
  // Where hypocotyl i's base comes from now.
  ResultStore::Base baseOf(int i) const;
  // Per hypocotyl flagged, how many images each flag is on.
  void printFlagCounts() const;
  // Prints one line for each flag hypocotyl i has at image t and had not at the image before.
  void sayNewFlags(unsigned t, int i, unsigned flags) const;

  int rows_;
  int cols_;
  RandomSource& random_;
  std::vector<Snake> snakes_;
  Thresholds thresholds_;
  std::vector<bool> base_set_;
  TrackingSettings tracking_;    // as the hypocotyls were last tracked
  std::vector<bool> put_back_;   // off another's stem, at the image tracked last
  std::vector<bool> at_collar_;  // the refined fit found the base at the collar, ditto
  CheckSettings checks_;
  std::unique_ptr<ImgGrabber> grabber_;
  cv::Size frame_size_;
  std::vector<std::string> file_names_;
  Experiment experiment_;
  ResultStore store_;
  unsigned stored_images_ = 0;  // images stored so far: 0 ... stored_images_ - 1
  bool restored_ = false;       // an image was stored again since the tables were written
  bool trace_ = false;
  std::unique_ptr<ResultTables> tables_;
  std::unique_ptr<Exports> exports_;
};

}  // namespace stemscan
