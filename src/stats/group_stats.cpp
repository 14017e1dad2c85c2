#include "stats/group_stats.h"

#include <boost/math/distributions/students_t.hpp>
#include <cmath>

namespace stemscan {
namespace {

double meanOf(const std::vector<double>& v) {
  double sum = 0;
  for (double x : v) sum += x;
  return sum / static_cast<double>(v.size());
}

// The sample variance (n - 1 in the denominator).
double varianceOf(const std::vector<double>& v, double mean) {
  double sum = 0;
  for (double x : v) sum += (x - mean) * (x - mean);
  return sum / static_cast<double>(v.size() - 1);
}

}  // namespace

GroupSummary summarise(const std::vector<double>& values) {
  GroupSummary s;
  s.n = static_cast<int>(values.size());
  if (values.empty()) return s;
  s.mean = meanOf(values);
  if (values.size() < 2) return s;
  s.sd = std::sqrt(varianceOf(values, s.mean));
  s.se = *s.sd / std::sqrt(static_cast<double>(values.size()));
  const boost::math::students_t t(static_cast<double>(values.size() - 1));
  const double half = boost::math::quantile(boost::math::complement(t, 0.025)) * *s.se;
  s.ciLow = s.mean - half;
  s.ciHigh = s.mean + half;
  return s;
}

std::optional<WelchTest> welchTest(const std::vector<double>& group,
                                   const std::vector<double>& control) {
  if (group.size() < 2 || control.size() < 2) return std::nullopt;
  const double ma = meanOf(group), mb = meanOf(control);
  const double va = varianceOf(group, ma) / static_cast<double>(group.size());
  const double vb = varianceOf(control, mb) / static_cast<double>(control.size());
  WelchTest test;
  test.difference = ma - mb;
  if (va + vb <= 0) return std::nullopt;
  const double t = test.difference / std::sqrt(va + vb);
  // Welch-Satterthwaite degrees of freedom.
  const double df = (va + vb) * (va + vb) /
                    (va * va / static_cast<double>(group.size() - 1) +
                     vb * vb / static_cast<double>(control.size() - 1));
  const boost::math::students_t distribution(df);
  test.p = 2.0 * boost::math::cdf(boost::math::complement(distribution, std::abs(t)));
  return test;
}

}  // namespace stemscan
