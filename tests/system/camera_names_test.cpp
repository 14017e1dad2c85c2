// Sequences named by a camera's clock: the order of their date and time, and times read from
// the names.
#include <gtest/gtest.h>

#include <exiv2/exiv2.hpp>
#include <opencv2/imgcodecs.hpp>

#include "experiment/clock_names.h"
#include "main/command_line.h"
#include "support/headless_run.h"
#include "support/synthetic.h"

namespace stemscan {
namespace {

using testing::contains;
using testing::runProgram;

// Runs the program on the three-cell plate from the image `first`, timed from `source`, with
// the session in session.txt; the tables are `out`, the console output goes to `console`.
int runTimed(const testing::TempDir& dir, const std::string& first, const std::string& out,
             const std::string& source, std::string* console) {
  return runProgram(dir,
                    {dir.file(first), "1", "3", dir.file(out), "--time-from=" + source,
                     "--script=" + dir.file("session.txt")},
                    console);
}

TEST(CameraNames, DateAndTimeNamesFormOneSequenceTimedFromTheNames) {
  testing::TempDir dir;
  testing::PlateSpec plate;
  // The counter restarts at the third photograph; the clock goes on past midnight.
  const std::vector<std::string> names = {"2010_02_19_16_39_06-0091.png",
                                          "2010_02_19_22_39_06-0097.png",
                                          "2010_02_20_04_39_06-0003.png"};
  for (std::size_t k = 0; k < names.size(); ++k) {
    cv::imwrite(dir.file(names[k]), testing::seedlingPlate(plate, static_cast<int>(k)));
  }
  cv::imwrite(dir.file("2010_02_19_16_39_06.png"),
              testing::seedlingPlate(plate, 0));  // other shape
  const std::string script = testing::selectAllAndCalibrate(plate) + testing::spaceKeys(3);
  testing::writeFile(dir.file("session.txt"), script);
  std::string out;
  ASSERT_EQ(runTimed(dir, names[0], "out", "names", &out), 0) << out;
  EXPECT_TRUE(contains(out, "sequence: 3 images"));
  EXPECT_TRUE(contains(out, "2010_02_20_04_39_06-0003.png at 2010-02-20T04:39:06 (12.00 h later)"));
  const std::vector<std::string> lines = testing::lines(testing::readFile(dir.file("out.csv")));
  ASSERT_EQ(lines.size(), 1u + 3u * 3u);
  EXPECT_TRUE(contains(lines[1], "2010_02_19_16_39_06-0091.png,0.0000,"));
  EXPECT_TRUE(contains(lines[4], "2010_02_19_22_39_06-0097.png,6.0000,"));
  EXPECT_TRUE(contains(lines[7], "2010_02_20_04_39_06-0003.png,12.0000,"));
  EXPECT_TRUE(contains(lines[7], ",2010-02-20T04:39:06"));

  // An image whose name holds no time is refused, named, before anything is written.
  cv::imwrite(dir.file("plate00.png"), testing::seedlingPlate(plate, 0));
  cv::imwrite(dir.file("plate01.png"), testing::seedlingPlate(plate, 1));
  EXPECT_EQ(runTimed(dir, "plate00.png", "plain", "names", &out), kExitUsage);
  EXPECT_TRUE(contains(out, "plate00.png has no date and time in its name")) << out;
  EXPECT_FALSE(testing::fileExists(dir.file("plain_len.txt")));
}

// Writes a JPEG of the plate at image t with the EXIF time `stamp` ("YYYY:MM:DD HH:MM:SS"; none
// for an empty one).
void photograph(const std::string& path, int t, const std::string& stamp) {
  cv::imwrite(path, testing::seedlingPlate(testing::PlateSpec(), t));
  if (stamp.empty()) return;
  Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path);
  image->readMetadata();
  image->exifData()["Exif.Photo.DateTimeOriginal"] = stamp;
  image->writeMetadata();
}

TEST(CameraNames, TimesFromThePhotographsExifData) {
  testing::TempDir dir;
  photograph(dir.file("shot00.jpg"), 0, "2010:02:19 23:30:00");
  photograph(dir.file("shot01.jpg"), 1, "2010:02:20 01:00:00");
  testing::writeFile(dir.file("session.txt"),
                     testing::selectAllAndCalibrate(testing::PlateSpec()) + testing::spaceKeys(2));
  std::string out;
  ASSERT_EQ(runTimed(dir, "shot00.jpg", "out", "exif", &out), 0) << out;
  EXPECT_TRUE(contains(out,
                       "times from the EXIF data: shot00.jpg at 2010-02-19T23:30:00, "
                       "shot01.jpg at 2010-02-20T01:00:00 (1.50 h later)"))
      << out;
  EXPECT_TRUE(contains(testing::readFile(dir.file("out.csv")), "shot01.jpg,1.5000,"));

  photograph(dir.file("bare00.jpg"), 0, "");
  EXPECT_EQ(runTimed(dir, "bare00.jpg", "bare", "exif", &out), kExitUsage);
  EXPECT_TRUE(contains(out, "bare00.jpg has no EXIF date and time")) << out;
}

TEST(CameraNames, TheCommonStampsAreRead) {
  EXPECT_EQ(isoDateTime(*secondsInName("a/2010_02_19_16_39_06-0091.jpg")), "2010-02-19T16:39:06");
  EXPECT_EQ(isoDateTime(*secondsInName("IMG_20100219_163906.jpg")), "2010-02-19T16:39:06");
  EXPECT_FALSE(secondsInName("20100229000000.png"));  // no 29 February in 2010
  EXPECT_EQ(*secondsInName("20120229235959.png") + 1, *secondsInName("20120301000000.png"));
  EXPECT_FALSE(secondsInName("plate07.png"));
}

}  // namespace
}  // namespace stemscan
