// Shared helpers of the tests: synthetic plates drawn in memory, temporary folders, captured
// console output and headless sessions.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <opencv2/core/mat.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "snake/snake.h"

namespace stemscan::testing {

// A Snake through the given points.
Snake snakeOf(std::initializer_list<Vec2> points);

// A light, uniform plate (8-bit BGR).
cv::Mat lightPlate(int width, int height, int level = 200);

// A dark stroke of the given thickness from a to b on a BGR or grey image.
void drawStroke(cv::Mat& image, cv::Point a, cv::Point b, int thickness, int level = 40);

// A grey image of random blocks (corners everywhere), reproducible from `seed`.
cv::Mat texture(int width, int height, unsigned seed);

// The grey image shifted by (dx, dy) whole pixels; uncovered pixels take `fill`.
cv::Mat shifted(const cv::Mat& image, int dx, int dy, int fill = 0);

// A folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Captures what is written to std::cout and std::cerr while it lives.
class CapturedOutput {
 public:
  CapturedOutput();
  ~CapturedOutput();
  std::string out() const { return out_.str(); }
  std::string err() const { return err_.str(); }

 private:
  std::ostringstream out_;
  std::ostringstream err_;
  std::streambuf* old_out_;
  std::streambuf* old_err_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text);
std::vector<std::string> lines(const std::string& text);
// A CSV file as rows of fields by column name.
std::vector<std::map<std::string, std::string>> readCsv(const std::string& path);
bool fileExists(const std::string& path);
bool contains(const std::string& text, const std::string& part);

// Whether two single-precision images are the same size and hold the same bits in every cell;
// a failure names the first cell that differs.
::testing::AssertionResult sameFloatBits(const cv::Mat& ours, const cv::Mat& theirs);

// A plate of `cols` x `rows` seedlings: each a dark vertical stroke, `length` pixels long
// at image t of a sequence, growing by `growth` pixels per image. The top of seedling (r, c)
// stands at topOf(r, c, t).
struct PlateSpec {
  int width = 360;
  int height = 240;
  int rows = 1;
  int cols = 3;
  int length = 60;
  float growth = 1.0f;
  int thickness = 5;
};
cv::Point topOf(const PlateSpec& plate, int row, int col, int t);
cv::Mat seedlingPlate(const PlateSpec& plate, int t);
// Writes images 0 ... n-1 as <dir>/<name>NN.png and returns the first file's path.
std::string writeSequence(const std::string& dir, const std::string& name, int n,
                          const std::function<cv::Mat(int)>& frame);

struct SessionResult {
  int status = 0;
  std::string out;
  std::string err;
};
// Runs the whole program with the arguments (from the folder `dir`); what it printed, standard
// output then standard error, goes to `out` where given.
int runProgram(const TempDir& dir, const std::vector<std::string>& args,
               std::string* out = nullptr);

// Runs the whole program headless with the session script `script`, the given positional
// arguments and options.
SessionResult runSession(const TempDir& dir, const std::vector<std::string>& args,
                         const std::string& script);

}  // namespace stemscan::testing
