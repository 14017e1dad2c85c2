// Sequences as cameras name them: time stamps, gaps, mixed widths, other files beside them.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include "grabber/image_header.h"
#include "grabber/img_grabber.h"
#include "support/synthetic.h"

namespace stemscan {
namespace {

using testing::TempDir;

void writeTiny(const TempDir& dir, std::initializer_list<const char*> names) {
  const cv::Mat tiny(3, 4, CV_8UC3, cv::Scalar(10, 20, 30));
  for (const char* name : names) cv::imwrite(dir.file(name), tiny);
}

std::vector<std::string> namesOf(const ImgGrabber& grabber) {
  std::vector<std::string> names;
  for (unsigned n = grabber.getFirst(); n < grabber.getFirst() + grabber.getCount(); ++n) {
    names.push_back(grabber.fileName(n).substr(grabber.fileName(n).find_last_of('/') + 1));
  }
  return names;
}

TEST(CameraSequence, IsEveryLaterFileOfTheSameNameInNumericOrder) {
  TempDir dir;
  // Time stamps every 900 with one photograph dropped (010800), and files that do not belong.
  writeTiny(dir, {"009000.png", "009900.png", "011700.png", "012600.png", "008100.png",
                  "009000.jpg", "x009000.png"});
  testing::writeFile(dir.file("009900.png.bak"), "a copy");
  testing::writeFile(dir.file("notes.txt"), "plate 7");
  testing::CapturedOutput output;
  ImgGrabber stamps(dir.file("009000.png"));
  EXPECT_EQ(namesOf(stamps),
            (std::vector<std::string>{"009000.png", "009900.png", "011700.png", "012600.png"}));
  EXPECT_EQ(stamps.fileNumber(stamps.getFirst() + 2), "11700");

  // Numbers of mixed widths, and a start in the middle.
  writeTiny(dir, {"plate7.png", "plate08.png", "plate10.png", "plate100.png", "plate9.tif"});
  ImgGrabber mixed(dir.file("plate08.png"));
  EXPECT_EQ(namesOf(mixed),
            (std::vector<std::string>{"plate08.png", "plate10.png", "plate100.png"}));
  cv::Mat frame;
  mixed.grab(frame);
  mixed.grab(frame);
  EXPECT_EQ(mixed.lastName(), dir.file("plate10.png"));
  EXPECT_FALSE(frame.empty());
}

TEST(CameraSequence, NumbersOfAnyLengthAreOrderedAcrossAMonthAndLeftOutWhereRepeated) {
  TempDir dir;
  // Date-and-time stamps across a month's end and a 13-digit millisecond clock.
  writeTiny(dir,
            {"20100131220000.png", "20100131230000.png", "20100201000000.png", "20100201010000.png",
             "1264978800000.jpg", "1264982400000.jpg", "9999999999999999999999.jpg"});
  testing::CapturedOutput output;
  ImgGrabber stamps(dir.file("20100131220000.png"));
  EXPECT_EQ(namesOf(stamps),
            (std::vector<std::string>{"20100131220000.png", "20100131230000.png",
                                      "20100201000000.png", "20100201010000.png"}));
  ImgGrabber clock(dir.file("1264978800000.jpg"));
  EXPECT_EQ(namesOf(clock), (std::vector<std::string>{"1264978800000.jpg", "1264982400000.jpg",
                                                      "9999999999999999999999.jpg"}));
  EXPECT_EQ(clock.fileNumber(clock.getFirst() + 2), "9999999999999999999999");

  // Overlays an earlier run wrote beside the sequence (imagefile=plate.png) have the numbers of
  // its images in another width: they are named and left out.
  writeTiny(dir, {"plate00.png", "plate01.png", "plate02.png", "plate000.png", "plate001.png",
                  "plate002.png"});
  ImgGrabber plates(dir.file("plate00.png"));
  EXPECT_EQ(namesOf(plates),
            (std::vector<std::string>{"plate00.png", "plate01.png", "plate02.png"}));
  EXPECT_TRUE(testing::contains(output.err(), "plate001.png has the number of "));
}

TEST(ImageHeaders, GiveTheSizeWithoutDecoding) {
  TempDir dir;
  const cv::Mat image(37, 53, CV_8UC3, cv::Scalar(10, 20, 30));
  for (const char* name : {"a.png", "a.jpg", "a.bmp", "a.tif"}) {
    ASSERT_TRUE(cv::imwrite(dir.file(name), image));
    const std::optional<cv::Size> size = imageSizeFromHeader(dir.file(name));
    ASSERT_TRUE(size.has_value()) << name;
    EXPECT_EQ(*size, cv::Size(53, 37)) << name;
  }
  testing::writeFile(dir.file("notes.png"), "not an image");
  EXPECT_FALSE(imageSizeFromHeader(dir.file("notes.png")).has_value());
}

}  // namespace
}  // namespace stemscan
