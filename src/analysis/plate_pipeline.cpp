#include "analysis/plate_pipeline.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <locale>
#include <map>
#include <sstream>

#include "analysis/keep_apart.h"

namespace stemscan {

std::string clockNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

PlatePipeline::PlatePipeline(int rows, int cols, int threshold, RandomSource& random)
    : rows_(rows),
      cols_(cols),
      random_(random),
      snakes_(static_cast<std::size_t>(rows) * cols, Snake(5)),
      thresholds_(rows * cols, threshold),
      base_set_(static_cast<std::size_t>(rows) * cols, false) {
  // Copies of one Snake share its scratch matrices until each gets its own.
  for (Snake& s : snakes_) s.setHalfWindow(5);
}

PlatePipeline::~PlatePipeline() { releaseFrames(); }

bool PlatePipeline::openSequence(const std::string& path, cv::Mat* first) {
  releaseFrames();
  grabber_ = std::make_unique<ImgGrabber>(path);
  if (grabber_->getCount() == 0) {
    std::cerr << "no image of the sequence " << path << " can be read" << std::endl;
    return false;
  }
  *first = grabber_->firstImage();
  if (first->empty()) {
    std::cerr << "cannot read the first image " << grabber_->lastName() << std::endl;
    return false;
  }
  frame_size_ = first->size();
  std::cout << "sequence: " << grabber_->getCount()
            << (grabber_->getCount() == 1 ? " image, " : " images, from ")
            << grabber_->files.front().path;
  if (grabber_->getCount() > 1) std::cout << " to " << grabber_->files.back().path;
  std::cout << std::endl;
  thresholds_.startSequence(frame_size_);
  return true;
}

bool PlatePipeline::timeEveryImage() {
  std::vector<std::string> files;
  file_names_.clear();
  for (const SequenceFile& file : grabber_->files) {
    files.push_back(file.path);
    file_names_.push_back(std::filesystem::path(file.path).filename().string());
  }
  std::string error;
  if (!resolveTimes(experiment_, files, &error)) {
    std::cerr << error << std::endl;
    return false;
  }
  const std::vector<std::string>& clock = experiment_.image_clock;
  if (!clock.empty()) {
    std::cout << (experiment_.time_from_exif ? "times from the EXIF data: "
                                             : "times from the file names: ")
              << file_names_.front() << " at " << clock.front();
    if (clock.size() > 1) {
      std::cout << ", " << file_names_.back() << " at " << clock.back() << " ("
                << fixed(experiment_.image_hours.back(), 2) << " h later)";
    }
    std::cout << std::endl;
  }
  return true;
}

namespace {

// False, saying why, when `frame` (the image `name`) cannot be analysed with images of `size`.
bool fits(const cv::Mat& frame, const ImgGrabber& grabber, cv::Size size, const std::string& name) {
  // An image of another size is not decoded: its header gives the size.
  const cv::Size found =
      frame.empty() && grabber.lastHeaderSize() ? *grabber.lastHeaderSize() : frame.size();
  if (found != size && !found.empty()) {
    std::cerr << "image " << name << " is " << found.width << " x " << found.height << ", not "
              << size.width << " x " << size.height << " like the first image; skipped"
              << std::endl;
    return false;
  }
  if (frame.empty()) {
    std::cerr << "cannot read image " << name << "; skipped" << std::endl;
    return false;
  }
  return true;
}

}  // namespace

bool PlatePipeline::readNext(cv::Mat& frame) {
  while (!grabber_->atEnd()) {
    grabber_->grab(frame);
    if (fits(frame, *grabber_, frame_size_, grabber_->lastName())) return true;
    store_.markSkipped(timeIndex());  // a skipped image still gets its line of the tables
  }
  return false;
}

bool PlatePipeline::load(unsigned t, cv::Mat& frame) {
  const unsigned before = grabber_->getCurrent();
  grabber_->seek(grabber_->getFirst() + t);
  if (grabber_->getCurrent() != grabber_->getFirst() + t) return false;
  grabber_->grab(frame);
  if (fits(frame, *grabber_, frame_size_, grabber_->lastName())) return true;
  grabber_->seek(before);
  return false;
}

std::string PlatePipeline::currentFile() const {
  return grabber_ ? std::filesystem::path(grabber_->lastName()).filename().string() : "";
}

void PlatePipeline::releaseFrames() {
  if (grabber_) grabber_->release();
}

std::string PlatePipeline::context(int i) const {
  return " (hypocotyl " + std::to_string(i) + ", row " + std::to_string(i / cols_ + 1) + ", col " +
         std::to_string(i % cols_ + 1) + ", image " + std::to_string(timeIndex()) + ": " +
         currentFile() + ")";
}

void PlatePipeline::track(const TrackingSettings& settings, int endMode) {
  tracking_ = settings;
  const std::vector<ContourBefore> before =
      settings.refine ? contoursBefore(snakes_) : std::vector<ContourBefore>();
  trackAndFit(
      snakes_, thresholds_, base_set_, settings, endMode, random_,
      [this](int i) { return context(i); }, std::cout, std::cerr);
  put_back_.assign(snakes_.size(), false);
  if (settings.refine) put_back_ = keepApart(snakes_, before, thresholds_, checks_.sharedShare);
}

std::vector<unsigned> PlatePipeline::checkTracks() const {
  const unsigned t = grabber_ ? timeIndex() : 0;
  std::vector<TrackState> tracks(snakes_.size());
  for (int i = 0; i < size(); ++i) {
    const Snake& s = snakes_[static_cast<std::size_t>(i)];
    TrackState& track = tracks[static_cast<std::size_t>(i)];
    if (!s.isInUse()) continue;
    for (int k = 0; k < s.pointCount(); ++k) track.points.push_back(s.point(k));
    track.threshold =
        thresholds_.of(i) != Thresholds::kNone ? thresholds_.of(i) : thresholds_.current();
    for (unsigned back = 1; back <= t && back <= static_cast<unsigned>(checks_.history) + 1;
         ++back) {
      const unsigned earlier = t - back;
      track.before.push_back(store_.pointCount(i, earlier) > 0 ? store_.series[i][earlier]
                                                               : std::vector<Vec2>());
    }
  }
  std::vector<unsigned> flags =
      stemscan::checkTracks(tracks, thresholds_.grey(), tracking_.maxGrowth, checks_);
  // A contour put back off another's stem is no measurement of this image.
  for (std::size_t i = 0; i < flags.size() && i < put_back_.size(); ++i) {
    if (put_back_[i] && snakes_[i].isInUse()) flags[i] |= kFlagMerged;
  }
  return flags;
}

void PlatePipeline::storeImage(unsigned t, const std::vector<bool>& corrected) {
  // An image stored before, stored again: its lines on disk no longer hold.
  if (t < stored_images_) restored_ = true;
  stored_images_ = std::max(stored_images_, t + 1);
  store_.markAnalysed(t);
  const std::vector<unsigned> flags = checkTracks();
  for (int i = 0; i < size(); ++i) {
    const bool byHand = corrected[static_cast<std::size_t>(i)];
    if (snakes_[i].isInUse()) {
      store_.storeSnake(snakes_[i], i, t);
    } else {
      store_.clearEntry(i, t);  // switched off on an image stored before
    }
    store_.setCorrected(i, t, byHand);
    // A contour the user corrected is the user's: it carries no flag.
    const unsigned mine = snakes_[i].isInUse() && !byHand ? flags[static_cast<std::size_t>(i)] : 0u;
    sayNewFlags(t, i, mine);
    store_.setFlags(i, t, mine);
    store_.setBase(i, t, baseOf(i));
  }
}

ResultStore::Base PlatePipeline::baseOf(int i) const {
  using Base = ResultStore::Base;
  const Snake& s = snakes_[static_cast<std::size_t>(i)];
  if (base_set_[static_cast<std::size_t>(i)]) return Base::kPlaced;
  if (s.pointCount() > 0) {
    const Vec2 base = s.lastPoint();
    if (base.x < 1.0f || base.y < 1.0f || base.x > frame_size_.width - 2.0f ||
        base.y > frame_size_.height - 2.0f) {
      return Base::kImageEdge;
    }
  }
  return tracking_.movingBase ? Base::kTracked : Base::kSeeded;
}

void PlatePipeline::sayNewFlags(unsigned t, int i, unsigned flags) const {
  const unsigned before = t > 0 ? store_.flagsOf(i, t - 1) : 0u;
  for (int k = 0; k < kTrackFlagCount; ++k) {
    const unsigned bit = 1u << k;
    if ((flags & bit) == 0 || (before & bit) != 0 || (store_.flagsOf(i, t) & bit) != 0) continue;
    const std::string label = experiment_.labelOf(i);
    std::cout << "flagged: image " << t << " (" << (t < file_names_.size() ? file_names_[t] : "")
              << "), hypocotyl " << i << " (row " << i / cols_ + 1 << ", col " << i % cols_ + 1
              << (label.empty() ? "" : ", " + label) << "): " << flagName(k) << std::endl;
  }
}

void PlatePipeline::restoreImage(unsigned t, std::vector<bool>& created,
                                 std::vector<bool>& corrected) {
  for (int i = 0; i < size(); ++i) {
    Snake& s = snakes_[i];
    if (store_.pointCount(i, t) > 0) {
      created[i] = true;
      s.activate();
      store_.restoreSnake(i, t, s);
      s.topTracker.pos = s.point(0);
      s.baseTracker.pos = s.lastPoint();
    } else {
      s.deactivate();
    }
    // A correction stored with the image stays one when the image is stored again.
    corrected[static_cast<std::size_t>(i)] = store_.isCorrected(i, t);
  }
}

bool PlatePipeline::outputsSpareInputs(const std::string& outputName) const {
  if (trace_) return true;
  namespace fs = std::filesystem;
  std::error_code error;
  std::map<fs::path, std::string> outputs;  // by the path each output resolves to
  std::vector<std::string> names = Exports::fileNames(outputName);
  for (const std::string& name : ResultTables::tableNames(outputName)) names.push_back(name);
  for (const std::string& name : names) outputs[fs::weakly_canonical(name, error)] = name;
  for (unsigned n = grabber_->getFirst(); n < grabber_->getFirst() + grabber_->getCount(); ++n) {
    const auto output = outputs.find(fs::weakly_canonical(grabber_->fileName(n), error));
    if (output == outputs.end()) continue;
    std::cerr << output->second << " is an image of the sequence and would be replaced by an "
              << "output: choose another out name" << std::endl;
    return false;
  }
  for (const std::string& name : Exports(outputName).foreignFiles()) {
    std::cerr << name << " exists and was not written by StemScan: it is left as it is; move it "
              << "away or choose another out name" << std::endl;
    return false;
  }
  return true;
}

bool PlatePipeline::openResultFiles(const std::string& outputName) {
  if (trace_) return true;
  auto tables = std::make_unique<ResultTables>(outputName);
  std::string why;
  if (!tables->checkWritable(&why)) {
    std::cerr << "cannot open file " << tables->names()[1] << " (" << why << ")" << std::endl;
    return false;
  }
  tables_ = std::move(tables);
  exports_ = std::make_unique<Exports>(outputName);
  return true;
}

ExportSources PlatePipeline::exportSources(float orientationLength) const {
  return ExportSources{store_, experiment_, file_names_, rows_, cols_, orientationLength};
}

void PlatePipeline::writeResultFiles(float orientationLength) {
  restored_ = false;
  if (trace_ || !tables_) return;
  tables_->rewrite(store_, orientationLength);
  exports_->rewrite(exportSources(orientationLength));
}

void PlatePipeline::updateResultFiles(float orientationLength) {
  // Lines already on disk changed: appending cannot bring the files up to the store.
  if (restored_) return writeResultFiles(orientationLength);
  if (trace_ || !tables_) return;
  tables_->update(store_, orientationLength);
  exports_->update(exportSources(orientationLength));
}

namespace {

// "label: a, b, c" on one line; nothing when `names` is empty.
void printNames(std::ostream& out, const char* label, const std::vector<std::string>& names,
                const char* after = "") {
  if (names.empty()) return;
  out << label;
  for (std::size_t k = 0; k < names.size(); ++k) out << (k == 0 ? " " : ", ") << names[k];
  out << after << std::endl;
}

// The names of `all` that are not in `failed`.
std::vector<std::string> without(const std::vector<std::string>& all,
                                 const std::vector<std::string>& failed) {
  std::vector<std::string> kept;
  for (const std::string& name : all) {
    if (std::find(failed.begin(), failed.end(), name) == failed.end()) kept.push_back(name);
  }
  return kept;
}

}  // namespace

void PlatePipeline::writeRunRecord(const RunInfo& info) {
  if (trace_ || !exports_) return;
  std::ostringstream text;
  text.imbue(std::locale::classic());
  text << Exports::kRunRecordMark << "\n"
       << "version: " << info.version << "\n"
       << "command: " << info.commandLine << "\n"
       << "started: " << info.started << "\n"
       << "ended: " << clockNow() << "\n"
       << "mode: " << info.mode << "\n"
       << "thresholds:";
  bool any = false;
  for (int i = 0; i < size(); ++i) {
    bool measured = false;
    for (unsigned t = 0; t < store_.rowCount() && !measured; ++t) {
      measured = store_.pointCount(i, t) > 0;
    }
    if (!measured) continue;
    text << " " << i << "=" << thresholds_.of(i);
    any = true;
  }
  text << (any ? "" : " none (no hypocotyl measured)") << "\n";
  text << "scale: ";
  if (experiment_.px_per_mm) {
    text << *experiment_.px_per_mm << " px/mm, from " << experiment_.scale_source << "\n";
  } else {
    text << "unknown (lengths in pixels)\n";
  }
  text << "time: ";
  if (experiment_.interval_minutes) {
    text << "every " << *experiment_.interval_minutes << " min (--interval)\n";
  } else if (!experiment_.times_path.empty()) {
    text << "listed in " << experiment_.times_path << " (--times)\n";
  } else if (experiment_.time_from_names) {
    text << "from the file names (--time-from=names)\n";
  } else {
    text << "unknown\n";
  }
  text << "layout: " << (experiment_.layout_path.empty() ? "none" : experiment_.layout_path)
       << "\n";
  unsigned skipped = 0;
  for (unsigned t = 0; t < store_.rowCount(); ++t) skipped += store_.isSkipped(t) ? 1 : 0;
  text << "images: " << (grabber_ ? grabber_->getCount() : 0) << " in the sequence, "
       << stored_images_ << " analysed, " << skipped << " skipped\n";
  exports_->writeRunRecord(text.str());
}

void PlatePipeline::printFlagCounts() const {
  for (std::size_t s = 0; s < store_.flags.size(); ++s) {
    int counts[kTrackFlagCount] = {};
    for (unsigned flags : store_.flags[s]) {
      for (int k = 0; k < kTrackFlagCount; ++k) counts[k] += (flags >> k) & 1u;
    }
    std::string line;
    for (int k = 0; k < kTrackFlagCount; ++k) {
      if (counts[k] == 0) continue;
      line += (line.empty() ? "" : ", ") + std::string(flagName(k)) + " at " +
              std::to_string(counts[k]) + (counts[k] == 1 ? " image" : " images");
    }
    if (!line.empty()) std::cout << "hypocotyl " << s << " flagged: " << line << std::endl;
  }
}

bool PlatePipeline::printSummary() const {
  if (trace_ || !tables_) return true;
  const std::vector<std::string> tables(tables_->names().begin(), tables_->names().end());
  std::vector<std::string> failed = tables_->failedNames();
  for (const std::string& name : exports_->failedNames()) failed.push_back(name);
  // Every file is named: those that hold this run's results, and those that do not.
  printNames(std::cout, "tables written:", without(tables, failed));
  printNames(std::cout, "also written:", without(exports_->names(), failed));
  if (!failed.empty()) {
    printNames(std::cerr, "tables not written:", failed, " (see the messages above)");
    return false;
  }
  store_.writeSummary(std::cout, file_names_);
  printFlagCounts();
  return true;
}

}  // namespace stemscan
