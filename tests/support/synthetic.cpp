#include "support/synthetic.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <random>

#include "experiment/csv.h"
#include "main/command_line.h"

namespace stemscan::testing {

::testing::AssertionResult sameFloatBits(const cv::Mat& ours, const cv::Mat& theirs) {
  if (ours.size() != theirs.size() || ours.type() != CV_32F || theirs.type() != CV_32F) {
    return ::testing::AssertionFailure() << "size or type differs";
  }
  for (int y = 0; y < ours.rows; ++y) {
    for (int x = 0; x < ours.cols; ++x) {
      if (std::memcmp(&ours.at<float>(y, x), &theirs.at<float>(y, x), sizeof(float)) != 0) {
        return ::testing::AssertionFailure()
               << "at (" << x << ", " << y << "): " << ours.at<float>(y, x) << " against "
               << theirs.at<float>(y, x) << " in " << ours.size();
      }
    }
  }
  return ::testing::AssertionSuccess();
}

Snake snakeOf(std::initializer_list<Vec2> points) {
  Snake s;
  for (const Vec2& p : points) s.append(p);
  return s;
}

cv::Mat lightPlate(int width, int height, int level) {
  return cv::Mat(height, width, CV_8UC3, cv::Scalar(level, level, level));
}

void drawStroke(cv::Mat& image, cv::Point a, cv::Point b, int thickness, int level) {
  cv::line(image, a, b, cv::Scalar(level, level, level), thickness, cv::LINE_8);
}

cv::Mat texture(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  cv::Mat image(height, width, CV_8UC1);
  const int block = 6;
  for (int y = 0; y < height; y += block) {
    for (int x = 0; x < width; x += block) {
      const int value = (random() % 2) ? 230 : 20;
      cv::rectangle(image, cv::Rect(x, y, block, block), cv::Scalar(value), cv::FILLED);
    }
  }
  return image;
}

cv::Mat shifted(const cv::Mat& image, int dx, int dy, int fill) {
  cv::Mat out(image.size(), image.type(), cv::Scalar::all(fill));
  const cv::Rect source(std::max(0, -dx), std::max(0, -dy), image.cols - std::abs(dx),
                        image.rows - std::abs(dy));
  const cv::Rect target(std::max(0, dx), std::max(0, dy), source.width, source.height);
  image(source).copyTo(out(target));
  return out;
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "stemscan-test-XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  const char* made = mkdtemp(buffer.data());
  path_ = made != nullptr ? made : pattern;
}

TempDir::~TempDir() {
  std::error_code error;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, error);
  std::filesystem::remove_all(path_, error);
}

CapturedOutput::CapturedOutput()
    : old_out_(std::cout.rdbuf(out_.rdbuf())), old_err_(std::cerr.rdbuf(err_.rdbuf())) {}

CapturedOutput::~CapturedOutput() {
  std::cout.rdbuf(old_out_);
  std::cerr.rdbuf(old_err_);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

std::vector<std::map<std::string, std::string>> readCsv(const std::string& path) {
  const std::vector<std::string> all = lines(readFile(path));
  std::vector<std::map<std::string, std::string>> rows;
  std::vector<std::string> header;
  std::vector<std::string> fields;
  EXPECT_TRUE(!all.empty() && splitCsvLine(all[0], &header)) << path;
  for (std::size_t i = 1; i < all.size(); ++i) {
    EXPECT_TRUE(splitCsvLine(all[i], &fields) && fields.size() == header.size()) << all[i];
    std::map<std::string, std::string> row;
    for (std::size_t k = 0; k < header.size() && k < fields.size(); ++k) row[header[k]] = fields[k];
    rows.push_back(row);
  }
  return rows;
}

bool fileExists(const std::string& path) { return std::filesystem::exists(path); }

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

cv::Point topOf(const PlateSpec& plate, int row, int col, int t) {
  const int cellW = plate.width / plate.cols;
  const int cellH = plate.height / plate.rows;
  const int base = cellH * row + cellH * 3 / 4;
  const int length = plate.length + static_cast<int>(plate.growth * t);
  return cv::Point(cellW * col + cellW / 2, base - length);
}

cv::Mat seedlingPlate(const PlateSpec& plate, int t) {
  cv::Mat image = lightPlate(plate.width, plate.height);
  const int cellH = plate.height / plate.rows;
  for (int r = 0; r < plate.rows; ++r) {
    for (int c = 0; c < plate.cols; ++c) {
      const cv::Point top = topOf(plate, r, c, t);
      const cv::Point base(top.x, cellH * r + cellH * 3 / 4);
      drawStroke(image, top, base, plate.thickness);
      // Cotyledons: a small dark blob at the top gives the tracker corners to follow.
      cv::ellipse(image, top, cv::Size(7, 3), 0, 0, 360, cv::Scalar(60, 60, 60), cv::FILLED);
    }
  }
  return image;
}

std::string writeSequence(const std::string& dir, const std::string& name, int n,
                          const std::function<cv::Mat(int)>& frame) {
  std::string first;
  for (int t = 0; t < n; ++t) {
    char number[16];
    std::snprintf(number, sizeof number, "%02d", t);
    const std::string path = dir + "/" + name + number + ".png";
    cv::imwrite(path, frame(t));
    if (t == 0) first = path;
  }
  return first;
}

int runProgram(const TempDir& dir, const std::vector<std::string>& args, std::string* out) {
  CapturedOutput output;
  const int status = stemScanMain(args, dir.path());
  if (out != nullptr) *out = output.out() + output.err();
  return status;
}

SessionResult runSession(const TempDir& dir, const std::vector<std::string>& args,
                         const std::string& script) {
  const std::string scriptPath = dir.file("session.txt");
  writeFile(scriptPath, script);
  std::vector<std::string> all = args;
  all.push_back("--script=" + scriptPath);
  SessionResult result;
  CapturedOutput output;
  result.status = stemScanMain(all, dir.path());
  result.out = output.out();
  result.err = output.err();
  return result;
}

}  // namespace stemscan::testing
