#include "grabber/img_grabber.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <opencv2/imgcodecs.hpp>
#include <set>
#include <thread>

#include "grabber/frame_prefetcher.h"
#include "support/synthetic.h"

namespace stemscan {
namespace {

using testing::CapturedOutput;
using testing::TempDir;

// Writes tiny images <dir>/<prefix><n>.png for every n in [from, to], n printed with `format`.
void writeTiny(const TempDir& dir, const char* format, int from, int to) {
  const cv::Mat tiny(3, 4, CV_8UC3, cv::Scalar(10, 20, 30));
  for (int n = from; n <= to; ++n) {
    char name[64];
    std::snprintf(name, sizeof name, format, n);
    cv::imwrite(dir.file(name), tiny);
  }
}

TEST(ImgGrabberSequence, CountsAndReadsATwoDigitSequence) {
  TempDir dir;
  writeTiny(dir, "name%02d.png", 0, 57);
  CapturedOutput output;
  ImgGrabber grabber(dir.file("name00.png"));
  EXPECT_EQ(grabber.digits, 2);
  EXPECT_EQ(grabber.prefix, dir.file("name"));
  EXPECT_EQ(grabber.first, 0u);
  EXPECT_EQ(grabber.getCount(), 58u);
  EXPECT_EQ(grabber.getSize(), cv::Size(4, 3));
  cv::Mat frame;
  grabber.grab(frame);
  EXPECT_EQ(frame.type(), CV_8UC3);
  EXPECT_EQ(output.out(), dir.file("name00.png") + "\n");
  for (int i = 1; i < 58; ++i) grabber.grab(frame);
  EXPECT_TRUE(grabber.atEnd());
  frame.release();
  grabber.grab(frame);  // at its end the slot keeps what it holds
  EXPECT_TRUE(frame.empty());
}

TEST(ImgGrabberSequence, StartsAtAnyNumberAndSeeksWithinTheSequence) {
  TempDir dir;
  writeTiny(dir, "plate%02d.png", 7, 12);
  CapturedOutput output;
  ImgGrabber grabber(dir.file("plate07.png"));
  EXPECT_EQ(grabber.first, 7u);
  EXPECT_EQ(grabber.getCount(), 6u);
  cv::Mat frame;
  grabber.grab(frame);
  grabber.grab(frame);
  EXPECT_EQ(grabber.index(), 2u);
  grabber.seek(5);
  grabber.seek(13);
  EXPECT_EQ(grabber.getCurrent(), 9u);
  grabber.seek(9);
  grabber.grab(frame);
  EXPECT_EQ(grabber.lastName(), dir.file("plate09.png"));
  grabber.skip(-1);
  EXPECT_EQ(grabber.getCurrent(), 9u);
  grabber.skip(1000);
  EXPECT_EQ(grabber.getCurrent(), 12u);
}

TEST(ImgGrabberSequence, NumbersWiderThanTheFieldContinue) {
  TempDir dir;
  writeTiny(dir, "name%02d.png", 98, 101);
  ImgGrabber grabber(dir.file("name98.png"));
  EXPECT_EQ(grabber.getCount(), 4u);
  EXPECT_EQ(grabber.fileName(100), dir.file("name100.png"));
}

TEST(ImgGrabberSequence, ThreeDigitNamesRollOverPastAThousand) {
  TempDir dir;
  writeTiny(dir, "img%03d.png", 0, 1234);
  CapturedOutput output;
  ImgGrabber grabber(dir.file("img000.png"));
  EXPECT_EQ(grabber.getCount(), 1235u);
  grabber.seek(1000);
  cv::Mat frame;
  grabber.grab(frame);
  EXPECT_EQ(grabber.lastName(), dir.file("img1000.png"));
  EXPECT_FALSE(frame.empty());
}

TEST(ImgGrabberSequence, NamesWithoutDigitsLongNumbersAndLongExtensions) {
  TempDir dir;
  writeTiny(dir, "scan%d.png", 1, 2);
  cv::imwrite(dir.file("scan.png"), cv::Mat(3, 4, CV_8UC3));
  ImgGrabber scan(dir.file("scan.png"));
  EXPECT_EQ(scan.digits, 0);
  EXPECT_EQ(scan.first, 0u);
  EXPECT_EQ(scan.getCount(), 3u);
  EXPECT_EQ(scan.fileName(0), dir.file("scan.png"));

  writeTiny(dir, "long%06d.png", 123456, 123457);
  ImgGrabber wide(dir.file("long123456.png"));
  EXPECT_EQ(wide.first, 123456u);
  EXPECT_EQ(wide.getCount(), 2u);

  writeTiny(dir, "photo%02d.jpeg", 0, 2);
  ImgGrabber jpeg(dir.file("photo00.jpeg"));
  EXPECT_EQ(jpeg.extension, ".jpeg");
  EXPECT_EQ(jpeg.getCount(), 3u);
}

TEST(ImgGrabberSequence, OneFileIsASequenceOfOneImage) {
  TempDir dir;
  writeTiny(dir, "single%02d.png", 5, 5);
  CapturedOutput output;
  ImgGrabber grabber(dir.file("single05.png"));
  EXPECT_EQ(grabber.getCount(), 1u);
  cv::Mat frame;
  grabber.grab(frame);
  EXPECT_FALSE(frame.empty());
  EXPECT_EQ(grabber.index(), 1u);
  EXPECT_TRUE(grabber.atEnd());
}

TEST(ImgGrabberSequence, MissingExampleIsReportedTwice) {
  TempDir dir;
  CapturedOutput output;
  ImgGrabber grabber(dir.file("none00.png"));
  EXPECT_EQ(grabber.getCount(), 0u);
  EXPECT_TRUE(grabber.atEnd());
  EXPECT_EQ(grabber.getSize(), cv::Size(0, 0));
  EXPECT_EQ(output.out(), "");
  EXPECT_EQ(output.err(), "cannot find file " + dir.file("none00.png") + "\ncannot open file " +
                              dir.file("none00.png") + "\n");
  grabber.skip(-1);  // an empty source has nowhere to go
  EXPECT_TRUE(grabber.atEnd());
}

TEST(ImgGrabberSequence, FileVanishingAfterCountingLeavesTheSlotEmpty) {
  TempDir dir;
  writeTiny(dir, "v%02d.png", 0, 2);
  CapturedOutput output;
  ImgGrabber grabber(dir.file("v00.png"));
  std::remove(dir.file("v01.png").c_str());
  testing::writeFile(dir.file("v02.png"), "not an image");
  cv::Mat frame;
  grabber.grab(frame);
  EXPECT_FALSE(frame.empty());
  grabber.grab(frame);
  EXPECT_TRUE(frame.empty());
  grabber.grab(frame);
  EXPECT_TRUE(frame.empty());
  EXPECT_TRUE(testing::contains(output.out(), dir.file("v01.png")));
}

TEST(FrameReadingAhead, GivesTheFrameAskedForWhicheverReaderFinishesFirst) {
  // Frames take 0 to 3 ms to read, so the two readers finish out of order; steps back and
  // seeks start the reading over elsewhere while frames are still being read.
  FramePrefetcher frames(
      [](unsigned n) {
        std::this_thread::sleep_for(std::chrono::milliseconds((n * 7) % 4));
        return cv::Mat(1, 1, CV_32SC1, cv::Scalar(static_cast<int>(n)));
      },
      0, 20);
  for (unsigned n : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 3u, 4u, 5u, 12u, 13u, 14u, 15u, 19u, 0u, 1u}) {
    const cv::Mat frame = frames.take(n);
    ASSERT_FALSE(frame.empty()) << "frame " << n;
    EXPECT_EQ(frame.at<int>(0, 0), static_cast<int>(n));
  }
}

TEST(FrameReadingAhead, StartsBeforeTheFirstFrameIsAskedFor) {
  // The grabber hands out the first image itself and reads the next ones while the user selects
  // and calibrates on it: the readers start at once, two frames deep, and go no further.
  std::mutex mutex;
  std::condition_variable read;
  std::set<unsigned> loaded;
  FramePrefetcher frames(
      [&](unsigned n) {
        std::lock_guard<std::mutex> lock(mutex);
        loaded.insert(n);
        read.notify_all();
        return cv::Mat(1, 1, CV_32SC1, cv::Scalar(static_cast<int>(n)));
      },
      1, 20);
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(read.wait_for(lock, std::chrono::seconds(10), [&] { return loaded.size() == 2; }));
    EXPECT_EQ(loaded, (std::set<unsigned>{1, 2}));
  }
  EXPECT_EQ(frames.take(1).at<int>(0, 0), 1);
}

}  // namespace
}  // namespace stemscan
