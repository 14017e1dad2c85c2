#include "refine/stem_fork.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

#include "snake/contour.h"

namespace stemscan {
namespace {

// A piece of the tube beside the line: where it touches the band along the line (as arc
// lengths), how far it reaches from the line, and the sum of its pixels half a stem width to one
// and a half from the band around where it touches the band: which way it leaves the line.
// Further out a piece may be a neighbour's stem, joined to this one by touching cotyledons.
struct Piece {
  float first = 1e9f, last = -1.0f;
  float farthest = 0.0f;
  Vec2 leaving{0.0f, 0.0f};
  int leavingPixels = 0;
};

}  // namespace

std::optional<float> forkBelowTop(const Tube& tube, const std::vector<Vec2>& centreline,
                                  float radius, const Vec2& up, float petiole) {
  const Contour line(centreline);
  const float total = line.length();
  const float width = 2.0f * std::max(1.0f, radius);
  // A petiole's reach: a few stem widths, never most of the stem, and no further than
  // `petiole` (petioles are a light-grown seedling's, whose stems are thin).
  const float reach = std::min({total - 3.0f * width, 8.0f * width + 10.0f, petiole});
  // A petiole is a few stem widths long: on a stem too thick for one to fit within the reach
  // (a dark-grown hypocotyl), there is none to find.
  if (reach < 4.0f * width) return std::nullopt;
  // The top of the line, a point per pixel, and the part of the image around it.
  const std::vector<Vec2> top =
      Contour(line.upTo(reach + width)).resampled(static_cast<int>(std::ceil(reach + width)) + 1);
  std::vector<cv::Point2f> corners;
  for (const Vec2& p : top) corners.emplace_back(p.x, p.y);
  const int margin = static_cast<int>(std::ceil(std::min(6.0f * width + 10.0f, petiole)));
  cv::Rect box = cv::boundingRect(corners);
  box.x -= margin;
  box.y -= margin;
  box.width += 2 * margin;
  box.height += 2 * margin;
  // The tube's pixels there, without a band along the line as wide as the stem and a little.
  cv::Mat dark(box.size(), CV_8UC1);
  for (int y = 0; y < box.height; ++y) {
    for (int x = 0; x < box.width; ++x) {
      const Vec2 p(static_cast<float>(box.x + x), static_cast<float>(box.y + y));
      dark.at<uchar>(y, x) = tube.depth(p) > 0.0f ? 255 : 0;
    }
  }
  cv::Mat band = cv::Mat::zeros(box.size(), CV_8UC1);
  std::vector<cv::Point> polyline;
  for (const Vec2& p : top) {
    polyline.emplace_back(cvRound(p.x) - box.x, cvRound(p.y) - box.y);
  }
  const int thickness = 2 * static_cast<int>(std::ceil(radius + 1.5f)) + 1;
  cv::polylines(band, polyline, false, cv::Scalar(255), thickness, cv::LINE_8);
  const cv::Mat beside = dark & ~band;
  cv::Mat touching;
  cv::dilate(band, touching, cv::Mat());
  touching &= ~band;
  cv::Mat labels;
  const int n = cv::connectedComponents(beside, labels, 8, CV_32S);

  std::vector<Piece> pieces(static_cast<std::size_t>(n));
  // The arc length (about a pixel per point) of the line's point nearest p.
  const auto nearest = [&top](const Vec2& p) {
    std::size_t best = 0;
    for (std::size_t k = 1; k < top.size(); ++k) {
      if (norm(p - top[k]) < norm(p - top[best])) best = k;
    }
    return static_cast<float>(best);
  };
  // How far each pixel lies from the line (the band's middle), and where along it the pixels
  // touching the band lie.
  cv::Mat fromLine;
  cv::distanceTransform(~band, fromLine, cv::DIST_L2, 3);
  const float bandHalf = static_cast<float>(thickness) / 2.0f;
  for (int y = 0; y < box.height; ++y) {
    const int* row = labels.ptr<int>(y);
    for (int x = 0; x < box.width; ++x) {
      const int label = row[x];
      if (label == 0) continue;
      Piece& piece = pieces[static_cast<std::size_t>(label)];
      const Vec2 p(static_cast<float>(box.x + x), static_cast<float>(box.y + y));
      piece.farthest = std::max(piece.farthest, fromLine.at<float>(y, x) + bandHalf);
      if (touching.at<uchar>(y, x) != 0) {
        const float s = nearest(p);
        piece.first = std::min(piece.first, s);
        piece.last = std::max(piece.last, s);
      }
    }
  }
  // Which way each piece leaves the line: from its pixels near where it touches the band.
  const auto contact = [&](const Piece& piece) { return (piece.first + piece.last) / 2.0f; };
  std::vector<Vec2> touches(pieces.size(), Vec2(0.0f, 0.0f));
  for (std::size_t label = 1; label < pieces.size(); ++label) {
    if (pieces[label].last >= 0.0f) touches[label] = line.pointAt(contact(pieces[label]));
  }
  for (int y = 0; y < box.height; ++y) {
    const int* row = labels.ptr<int>(y);
    for (int x = 0; x < box.width; ++x) {
      const auto label = static_cast<std::size_t>(row[x]);
      const float away = fromLine.at<float>(y, x);
      if (label == 0 || pieces[label].last < 0.0f || away < 0.5f * width || away > 1.5f * width) {
        continue;
      }
      const Vec2 p(static_cast<float>(box.x + x), static_cast<float>(box.y + y));
      if (norm(p - touches[label]) > bandHalf + 2.0f * width) continue;
      pieces[label].leaving += p;
      ++pieces[label].leavingPixels;
    }
  }
  // The way the stem runs up to a place on the line, from a few stem widths below it (where the
  // line is too short for that, the way seedlings grow).
  const auto stemWay = [&](float at) {
    const Vec2 way = line.pointAt(at) - line.pointAt(std::min(total, at + 3.0f * width));
    return norm(way) > 0.0f ? way * (1.0f / norm(way)) : up;
  };
  std::optional<float> fork;
  for (int label = 1; label < n; ++label) {
    const Piece& piece = pieces[static_cast<std::size_t>(label)];
    if (piece.last < 0.0f || piece.leavingPixels == 0) continue;  // it does not meet the line
    const float at = contact(piece);
    const Vec2 out =
        piece.leaving * (1.0f / static_cast<float>(piece.leavingPixels)) - line.pointAt(at);
    // What touches the line only around its top is the rest of the organ the line ran up into;
    // a petiole runs along the line's side for a stem width or more.
    const bool alongside = piece.last >= width;
    // A petiole leaves the line upwards, or at least not much below across.
    const bool petiole = alongside && at <= reach && piece.last - piece.first <= 2.0f * width &&
                         piece.farthest >= 1.5f * width &&
                         dot(out, stemWay(at)) >= 0.3f * norm(out);
    // Of several, the lowest: a line that ran on up through a cotyledon into a neighbour's
    // touching it has that cotyledon's other lobes standing out beside it higher up.
    if (petiole && (!fork || at > *fork)) fork = at;
  }
  return fork;
}

}  // namespace stemscan
