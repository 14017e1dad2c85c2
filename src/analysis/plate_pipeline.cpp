#include "analysis/plate_pipeline.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

#include "analysis/keep_apart.h"

namespace stemscan {

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

void PlatePipeline::track(const TrackingSettings& given, int endMode) {
  TrackingSettings settings = given;
  // Each top's step between the last two images stored: tops far apart in time move far.
  const unsigned t = grabber_ ? timeIndex() : 0;
  settings.recentSteps.assign(snakes_.size(), 0.0f);
  for (std::size_t i = 0;
       settings.refine && t >= 2 && i < snakes_.size() && i < store_.series.size(); ++i) {
    const auto& series = store_.series[i];
    if (series.size() < t || series[t - 1].empty() || series[t - 2].empty()) continue;
    settings.recentSteps[i] = norm(series[t - 1].front() - series[t - 2].front());
  }
  tracking_ = settings;
  const std::vector<ContourBefore> before =
      settings.refine ? contoursBefore(snakes_) : std::vector<ContourBefore>();
  at_collar_ = trackAndFit(
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
  if (static_cast<std::size_t>(i) < at_collar_.size() && at_collar_[i]) return Base::kCollar;
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

}  // namespace stemscan
