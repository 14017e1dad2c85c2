// The per-image update of the hypocotyls: their ends are tracked into the new image, then each
// contour is fitted on it. Tracking and the refined fit only read the thresholded images, so
// for hypocotyls sharing a threshold they run side by side on two threads; the plain fits,
// which draw from the run's one random source, stay in order, and so do the messages.
#include "analysis/plate_tracking.h"

#include <atomic>
#include <exception>
#include <memory>
#include <sstream>
#include <thread>

#include "detect/long_lines.h"
#include "refine/stem_refiner.h"

namespace stemscan {
namespace {

// Runs work(0) ... work(n - 1) on two threads, each taking the next item as it becomes free:
// the items' costs differ (a hook, a long stem), so a fixed split would leave one thread idle.
// Each item writes only its own results, so the split does not change them.
template <typename Work>
void onTwoThreads(std::size_t n, const Work& work) {
  if (n < 2) {
    for (std::size_t k = 0; k < n; ++k) work(k);
    return;
  }
  std::atomic<std::size_t> next{0};
  auto drain = [&] {
    for (std::size_t k = next++; k < n; k = next++) work(k);
  };
  std::exception_ptr failure;
  std::thread second([&] {
    try {
      drain();
    } catch (...) {
      failure = std::current_exception();
      next = n;  // the other thread stops too
    }
  });
  try {
    drain();
  } catch (...) {
    next = n;
    second.join();
    throw;
  }
  second.join();
  if (failure) std::rethrow_exception(failure);
}

// Runs first(k) for k = 0 ... n - 1, and second(k) after first(k), on two threads: all the
// first steps are handed out before any second one, so that a thread that ran out of first steps
// goes on with the second steps of items already done, rather than one thread running its last
// whole item while the other waits (five hypocotyls would split three to two).
template <typename First, typename Second>
void inTwoStepsOnTwoThreads(std::size_t n, const First& first, const Second& second) {
  if (n < 2) {
    for (std::size_t k = 0; k < n; ++k) {
      first(k);
      second(k);
    }
    return;
  }
  std::unique_ptr<std::atomic<bool>[]> done(new std::atomic<bool>[n]());
  std::atomic<bool> failed{false};
  onTwoThreads(2 * n, [&](std::size_t k) {
    if (k < n) {
      try {
        first(k);
      } catch (...) {
        failed = true;
        done[k] = true;
        throw;
      }
      done[k] = true;
      return;
    }
    // The other thread may still be running this item's first step.
    while (!done[k - n]) std::this_thread::yield();
    if (!failed) second(k - n);
  });
}

// The tracker's message lines that start with `start` (all with an empty one), each followed
// by `where`.
std::string withContext(const std::string& text, const std::string& start,
                        const std::string& where) {
  std::string out;
  std::size_t from = 0;
  while (from < text.size()) {
    std::size_t end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(from, end - from);
    if (!line.empty() && line.compare(0, start.size(), start) == 0) line += where;
    out += line + "\n";
    from = end + 1;
  }
  return out;
}

}  // namespace

void placeEnds(Snake& s) {
  if (isPlaced(s.topTracker.pos)) {
    s.setPoint(0, s.topTracker.pos);
  } else {
    s.topTracker.pos = s.point(0);
  }
  if (isPlaced(s.baseTracker.pos)) {
    s.setLastPoint(s.baseTracker.pos);
  } else {
    s.baseTracker.pos = s.lastPoint();
  }
}

std::vector<bool> trackAndFit(std::vector<Snake>& snakes, Thresholds& thresholds,
                              const std::vector<bool>& baseSet, const TrackingSettings& settings,
                              int endMode, RandomSource& random,
                              const std::function<std::string(int)>& context,
                              std::ostream& messages, std::ostream& errors) {
  std::vector<bool> atCollar(snakes.size(), false);
  if (thresholds.mask().empty()) return atCollar;
  const int nb_snakes = static_cast<int>(snakes.size());
  std::vector<int> inUse;
  for (int i = 0; i < nb_snakes; ++i) {
    if (snakes[i].isInUse()) inUse.push_back(i);
  }
  // The hypocotyls by threshold (positions in inUse), each image thresholded once per value.
  std::vector<std::vector<std::size_t>> sharing;
  std::vector<bool> grouped(inUse.size(), false);
  for (std::size_t k = 0; k < inUse.size(); ++k) {
    if (grouped[k]) continue;
    sharing.emplace_back();
    for (std::size_t j = k; j < inUse.size(); ++j) {
      if (!grouped[j] && thresholds.of(inUse[j]) == thresholds.of(inUse[k])) {
        sharing.back().push_back(j);
        grouped[j] = true;
      }
    }
  }

  std::vector<std::ostringstream> out(inUse.size());
  std::vector<std::ostringstream> err(inUse.size());
  std::vector<char> refined(inUse.size(), 0);  // written from both threads: no bit packing
  std::vector<char> collar(inUse.size(), 0);
  for (const std::vector<std::size_t>& group : sharing) {
    thresholds.makeMasksFor(inUse[group.front()]);
    const cv::Mat& mask = thresholds.mask();
    const cv::Mat& previous = thresholds.previousMask();
    auto track = [&](std::size_t n) {
      const std::size_t j = group[n];
      Snake& s = snakes[inUse[j]];
      s.topTracker.track(mask, previous, settings.maxGrowth, out[j], err[j]);
      if (settings.movingBase) {
        s.baseTracker.track(mask, previous, settings.maxGrowth, out[j], err[j]);
      }
      placeEnds(s);
    };
    if (!settings.refine) {
      onTwoThreads(group.size(), track);
      continue;
    }
    // The refined fit falls back on the plain one where it finds no stem.
    const cv::Mat stems = withoutLongLines(mask, settings.lineShare);
    inTwoStepsOnTwoThreads(group.size(), track, [&](std::size_t n) {
      const std::size_t j = group[n];
      const BaseKind base = !baseSet[static_cast<std::size_t>(inUse[j])] ? BaseKind::kFound
                            : settings.movingBase                        ? BaseKind::kTracked
                                                                         : BaseKind::kSet;
      RefineReport report;
      RefineSettings fit;
      const auto i = static_cast<std::size_t>(inUse[j]);
      if (i < settings.recentSteps.size()) {
        fit.topReach = std::max(fit.topReach, 1.5f * settings.recentSteps[i]);
      }
      refined[j] = refineOnStem(snakes[inUse[j]], stems, thresholds.grey(), base, fit, &report);
      collar[j] = refined[j] && report.collar;
    });
  }

  // The plain fits draw their visiting orders from the run's one random source in hypocotyl
  // order, then follow them side by side.
  std::vector<std::vector<std::vector<int>>> orders(inUse.size());
  for (std::size_t k = 0; k < inUse.size(); ++k) {
    const std::string where = context(inUse[k]);
    errors << withContext(err[k].str(), "", where);
    messages << withContext(out[k].str(), "bad position", where);
    if (!refined[k]) orders[k] = snakes[inUse[k]].visitingOrders(10, endMode, random);
  }
  for (const std::vector<std::size_t>& group : sharing) {
    std::vector<std::size_t> plain;
    for (std::size_t j : group) {
      if (!refined[j]) plain.push_back(j);
    }
    if (plain.empty()) continue;  // every fit of the group was refined
    thresholds.makeMasksFor(inUse[plain.front()]);
    onTwoThreads(plain.size(), [&](std::size_t n) {
      const std::size_t j = plain[n];
      snakes[inUse[j]].optimiseInOrders(thresholds.mask(), orders[j]);
    });
  }
  for (std::size_t k = 0; k < inUse.size(); ++k) atCollar[inUse[k]] = collar[k] != 0;
  return atCollar;
}

}  // namespace stemscan
