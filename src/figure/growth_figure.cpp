#include "figure/growth_figure.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "figure/plot_scale.h"

namespace stemscan {
namespace {

struct Colour {
  double r, g, b;
};
// The ten colours of the usual categorical palette, told apart by most readers.
const Colour kPalette[] = {{0.122, 0.467, 0.706}, {1.000, 0.498, 0.055}, {0.173, 0.627, 0.173},
                           {0.839, 0.153, 0.157}, {0.580, 0.404, 0.741}, {0.549, 0.337, 0.294},
                           {0.890, 0.467, 0.761}, {0.498, 0.498, 0.498}, {0.737, 0.741, 0.133},
                           {0.090, 0.745, 0.812}};
Colour colourOf(std::size_t group) { return kPalette[group % 10]; }

constexpr double kMarginLeft = 62.0;
constexpr double kPanelGap = 84.0;
constexpr double kMarginRight = 14.0;
constexpr double kMarginBottom = 44.0;
constexpr double kAxisWidth = 1.0;
constexpr double kSeedlingWidth = 0.8;
constexpr double kMeanWidth = 2.2;

void font(cairo_t* cr, double size, bool bold = false) {
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                         bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, size);
}

double textWidth(cairo_t* cr, const std::string& text) {
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text.c_str(), &extents);
  return extents.x_advance;
}

// `anchor` 0 puts the text's start at x, 0.5 its middle, 1 its end; y is the baseline.
void text(cairo_t* cr, double x, double y, const std::string& words, double anchor = 0.0) {
  cairo_move_to(cr, x - anchor * textWidth(cr, words), y);
  cairo_show_text(cr, words.c_str());
}

// A panel's frame on the page and the data's ranges.
struct Panel {
  double left, top, right, bottom;
  AxisRange x, y;
  double px(double v) const { return left + (v - x.low) / (x.high - x.low) * (right - left); }
  double py(double v) const { return bottom - (v - y.low) / (y.high - y.low) * (bottom - top); }
};

void drawAxes(cairo_t* cr, const Panel& panel, const std::string& xTitle,
              const std::string& yTitle) {
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_line_width(cr, kAxisWidth);
  cairo_move_to(cr, panel.left, panel.top);
  cairo_line_to(cr, panel.left, panel.bottom);
  cairo_line_to(cr, panel.right, panel.bottom);
  cairo_stroke(cr);
  font(cr, 9);
  for (double v : ticks(panel.x)) {
    cairo_move_to(cr, panel.px(v), panel.bottom);
    cairo_line_to(cr, panel.px(v), panel.bottom + 4);
    cairo_stroke(cr);
    text(cr, panel.px(v), panel.bottom + 14, tickText(v), 0.5);
  }
  for (double v : ticks(panel.y)) {
    cairo_move_to(cr, panel.left - 4, panel.py(v));
    cairo_line_to(cr, panel.left, panel.py(v));
    cairo_stroke(cr);
    text(cr, panel.left - 6, panel.py(v) + 3, tickText(v), 1.0);
  }
  font(cr, 10);
  text(cr, (panel.left + panel.right) / 2, panel.bottom + 30, xTitle, 0.5);
  cairo_save(cr);
  cairo_translate(cr, panel.left - 40, (panel.top + panel.bottom) / 2);
  cairo_rotate(cr, -M_PI / 2);
  text(cr, 0, 0, yTitle, 0.5);
  cairo_restore(cr);
}

// Each group's mean and standard error where its members were measured.
struct Band {
  std::vector<double> x, mean, se;
};

Band bandOf(const std::vector<const std::vector<double>*>& xs,
            const std::vector<std::vector<double>>& ys) {
  std::map<double, std::vector<double>> at;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    for (std::size_t k = 0; k < xs[i]->size(); ++k) at[(*xs[i])[k]].push_back(ys[i][k]);
  }
  Band band;
  for (const auto& [x, values] : at) {
    const double n = static_cast<double>(values.size());
    double sum = 0.0;
    for (double v : values) sum += v;
    const double m = sum / n;
    double squares = 0.0;
    for (double v : values) squares += (v - m) * (v - m);
    band.x.push_back(x);
    band.mean.push_back(m);
    band.se.push_back(values.size() > 1 ? std::sqrt(squares / (n - 1.0) / n) : 0.0);
  }
  return band;
}

void drawPanel(cairo_t* cr, const Panel& panel, const GrowthFigure& figure,
               const std::vector<std::size_t>& groupOf, std::size_t groups,
               const std::vector<std::vector<double>>& ys, bool tags) {
  cairo_save(cr);
  cairo_rectangle(cr, panel.left, panel.top, panel.right - panel.left, panel.bottom - panel.top);
  cairo_clip(cr);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  if (figure.bands) {
    for (std::size_t g = 0; g < groups; ++g) {
      std::vector<const std::vector<double>*> xs;
      std::vector<std::vector<double>> members;
      for (std::size_t i = 0; i < ys.size(); ++i) {
        if (groupOf[i] != g) continue;
        xs.push_back(&figure.curves[i].x);
        members.push_back(ys[i]);
      }
      const Band band = bandOf(xs, members);
      if (band.x.empty()) continue;
      const Colour c = colourOf(g);
      cairo_new_path(cr);
      for (std::size_t k = 0; k < band.x.size(); ++k) {
        cairo_line_to(cr, panel.px(band.x[k]), panel.py(band.mean[k] + band.se[k]));
      }
      for (std::size_t k = band.x.size(); k-- > 0;) {
        cairo_line_to(cr, panel.px(band.x[k]), panel.py(band.mean[k] - band.se[k]));
      }
      cairo_close_path(cr);
      cairo_set_source_rgba(cr, c.r, c.g, c.b, 0.18);
      cairo_fill(cr);
      for (std::size_t k = 0; k < band.x.size(); ++k) {
        cairo_line_to(cr, panel.px(band.x[k]), panel.py(band.mean[k]));
      }
      cairo_set_source_rgb(cr, c.r, c.g, c.b);
      cairo_set_line_width(cr, kMeanWidth);
      cairo_stroke(cr);
    }
  }
  cairo_set_line_width(cr, kSeedlingWidth);
  for (std::size_t i = 0; i < ys.size(); ++i) {
    const GrowthCurve& curve = figure.curves[i];
    const Colour c = colourOf(groupOf[i]);
    cairo_set_source_rgba(cr, c.r, c.g, c.b, 0.7);
    cairo_new_path(cr);
    for (std::size_t k = 0; k < curve.x.size(); ++k) {
      cairo_line_to(cr, panel.px(curve.x[k]), panel.py(ys[i][k]));
    }
    cairo_stroke(cr);
  }
  cairo_restore(cr);
  // The names may run out of the panel, not out of the page.
  if (!tags) return;
  font(cr, 6);
  for (std::size_t i = 0; i < ys.size(); ++i) {
    const GrowthCurve& curve = figure.curves[i];
    if (curve.x.empty()) continue;
    const Colour c = colourOf(groupOf[i]);
    cairo_set_source_rgb(cr, c.r, c.g, c.b);
    text(cr, panel.px(curve.x.back()) + 2, panel.py(ys[i].back()) + 2, curve.tag);
  }
}

}  // namespace

FigurePage growthFigurePage() { return FigurePage{}; }

std::string drawGrowthFigure(const GrowthFigure& figure, FigureFormat format,
                             const std::string& mark) {
  // The groups in order of first appearance, with their numbers of seedlings.
  std::vector<std::string> groups;
  std::vector<int> members;
  std::vector<std::size_t> groupOf;
  std::vector<double> allX, lengths, elongations;
  std::vector<std::vector<double>> grown;
  for (const GrowthCurve& curve : figure.curves) {
    auto found = std::find(groups.begin(), groups.end(), curve.group);
    groupOf.push_back(static_cast<std::size_t>(found - groups.begin()));
    if (found == groups.end()) {
      groups.push_back(curve.group);
      members.push_back(0);
    }
    ++members[groupOf.back()];
    std::vector<double> elongation;
    for (double y : curve.y) elongation.push_back(y - curve.y.front());
    allX.insert(allX.end(), curve.x.begin(), curve.x.end());
    lengths.insert(lengths.end(), curve.y.begin(), curve.y.end());
    elongations.insert(elongations.end(), elongation.begin(), elongation.end());
    grown.push_back(elongation);
  }
  std::vector<std::vector<double>> plain;
  for (const GrowthCurve& curve : figure.curves) plain.push_back(curve.y);

  const FigurePage page = growthFigurePage();
  return renderFigure(page, format, mark, [&](cairo_t* cr) {
    cairo_set_source_rgb(cr, 0, 0, 0);
    font(cr, 13, true);
    text(cr, kMarginLeft - 40, 20, figure.title);
    // The legend: one row (more when it must) under the title.
    double x = kMarginLeft - 40;
    double y = 38;
    font(cr, 9);
    std::vector<std::string> entries;
    for (std::size_t g = 0; g < groups.size(); ++g) {
      entries.push_back(groups[g] + " (n=" + std::to_string(members[g]) + ")");
    }
    if (figure.bands && !groups.empty()) entries.push_back("thin: seedlings; thick: mean ± 1 s.e.");
    for (std::size_t e = 0; e < entries.size(); ++e) {
      const bool key = e < groups.size();
      const double width = (key ? 20.0 : 0.0) + textWidth(cr, entries[e]) + 16.0;
      if (x + width > page.width_pt - kMarginRight && x > kMarginLeft) {
        x = kMarginLeft - 40;
        y += 13;
      }
      if (key) {
        const Colour c = colourOf(e);
        cairo_set_source_rgb(cr, c.r, c.g, c.b);
        cairo_set_line_width(cr, kMeanWidth);
        cairo_move_to(cr, x, y - 3);
        cairo_line_to(cr, x + 16, y - 3);
        cairo_stroke(cr);
        x += 20;
      }
      cairo_set_source_rgb(cr, key ? 0.0 : 0.35, key ? 0.0 : 0.35, key ? 0.0 : 0.35);
      text(cr, x, y, entries[e]);
      x += width - (key ? 20.0 : 0.0);
    }

    const double top = y + 16;
    const double bottom = page.height_pt - kMarginBottom;
    const double panelWidth = (page.width_pt - kMarginLeft - kPanelGap - kMarginRight) / 2;
    AxisRange xRange = fittedRange(allX, 0.02);
    xRange.high += (xRange.high - xRange.low) * 0.08;  // room for the seedlings' names
    const Panel lengthPanel{kMarginLeft, top,    kMarginLeft + panelWidth,
                            bottom,      xRange, fittedRange(lengths, 0.05)};
    const double right = lengthPanel.right + kPanelGap;
    const Panel growthPanel{right,  top,    right + panelWidth,
                            bottom, xRange, fittedRange(elongations, 0.05)};
    drawAxes(cr, lengthPanel, figure.xTitle, figure.lengthTitle);
    drawAxes(cr, growthPanel, figure.xTitle, "elongation (" + figure.unit + ")");
    drawPanel(cr, lengthPanel, figure, groupOf, groups.size(), plain, true);
    drawPanel(cr, growthPanel, figure, groupOf, groups.size(), grown, false);
  });
}

}  // namespace stemscan
