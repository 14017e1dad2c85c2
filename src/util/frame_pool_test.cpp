#include "util/frame_pool.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace stemscan {
namespace {

cv::Mat imageFrom(FramePool& pool, int rows, int cols, int type) {
  cv::Mat image;
  image.allocator = &pool;
  image.create(rows, cols, type);
  return image;
}

// A freed frame's buffer serves the next frame of its size; small images and other sizes go
// their own way, and no more than the set number of buffers is kept.
TEST(FramePool, HandsAFreedFrameToTheNextImageOfItsSize) {
  FramePool pool(1 << 20, 2);
  cv::Mat frame = imageFrom(pool, 750, 1000, CV_8UC3);
  const uchar* buffer = frame.data;
  frame.setTo(cv::Scalar(1, 2, 3));
  cv::Mat shown = frame;  // a second header on the same frame keeps it in use
  frame.release();
  EXPECT_EQ(pool.keptCount(), 0u);
  EXPECT_EQ(shown.at<cv::Vec3b>(749, 999), cv::Vec3b(1, 2, 3));
  shown.release();
  EXPECT_EQ(pool.keptCount(), 1u);

  cv::Mat other = imageFrom(pool, 750, 1000, CV_8UC1);  // another size: a buffer of its own
  EXPECT_NE(other.data, buffer);
  cv::Mat next = imageFrom(pool, 750, 1000, CV_8UC3);
  EXPECT_EQ(next.data, buffer);
  EXPECT_EQ(next.step[0], 3000u);
  EXPECT_EQ(pool.keptCount(), 0u);
  cv::Mat small = imageFrom(pool, 10, 10, CV_8UC1);
  small.release();
  EXPECT_EQ(pool.keptCount(), 0u);

  cv::Mat third = imageFrom(pool, 400, 1000, CV_8UC3);
  next.release();
  other.release();
  third.release();
  EXPECT_EQ(pool.keptCount(), 2u);
}

// Frames made and freed on several threads at once: each comes out whole.
TEST(FramePool, ServesReadersAndTheAnalysisAtOnce) {
  FramePool pool(1 << 20, 4);
  std::vector<std::thread> readers;
  for (int r = 0; r < 3; ++r) {
    readers.emplace_back([&pool, r] {
      for (int k = 0; k < 40; ++k) {
        cv::Mat frame = imageFrom(pool, 600, 800, CV_8UC3);
        frame.setTo(cv::Scalar(r, k, 7));
        ASSERT_EQ(frame.at<cv::Vec3b>(599, 799), cv::Vec3b(r, k, 7));
      }
    });
  }
  for (std::thread& reader : readers) reader.join();
  EXPECT_LE(pool.keptCount(), 4u);
}

}  // namespace
}  // namespace stemscan
