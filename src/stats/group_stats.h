// Statistics of a group of seedlings: mean, spread and a confidence interval of the mean from
// Student's t distribution, and Welch's test of two groups' means (Boost.Math's distributions).
#pragma once

#include <optional>
#include <vector>

namespace stemscan {

struct GroupSummary {
  int n = 0;
  double mean = 0;
  std::optional<double> sd;  // from two values on
  std::optional<double> se;
  std::optional<double> ciLow;  // 95 % confidence interval of the mean
  std::optional<double> ciHigh;
};

GroupSummary summarise(const std::vector<double>& values);

struct WelchTest {
  double difference = 0;  // mean of `group` minus mean of `control`
  double p = 1;           // two-sided
};

// Nothing where either group has fewer than two values or both have no spread.
std::optional<WelchTest> welchTest(const std::vector<double>& group,
                                   const std::vector<double>& control);

}  // namespace stemscan
