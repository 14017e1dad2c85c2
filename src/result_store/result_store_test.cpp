#include "result_store/result_store.h"

#include <gtest/gtest.h>

#include <clocale>
#include <locale>
#include <sstream>

#include "support/synthetic.h"

namespace stemscan {
namespace {

using testing::CapturedOutput;

using testing::snakeOf;

TEST(ResultStoreRecords, SparseIndicesReplacementAndLastTime) {
  ResultStore store;
  const Snake s = snakeOf({Vec2(1, 2), Vec2(3, 4), Vec2(5, 6)});
  store.storeSnake(s, 5, 3);
  EXPECT_EQ(store.series.size(), 6u);
  EXPECT_EQ(store.series[5].size(), 4u);
  EXPECT_EQ(store.getLastTime(), 3u);
  EXPECT_EQ(store.pointCount(5, 2), 0u);
  EXPECT_EQ(store.pointCount(5, 3), 3u);
  EXPECT_EQ(store.pointCount(9, 0), 0u);

  store.storeSnake(snakeOf({Vec2(7, 7)}), 5, 3);
  EXPECT_EQ(store.pointCount(5, 3), 1u);
  store.storeSnake(s, 0, 9);
  store.storeSnake(s, 0, 2);
  EXPECT_EQ(store.getLastTime(), 9u);
}

TEST(ResultStoreRecords, RestoreReportsInvalidIndices) {
  ResultStore store;
  store.storeSnake(snakeOf({Vec2(1, 2), Vec2(3, 4)}), 5, 3);
  Snake target = snakeOf({Vec2(9, 9)});
  CapturedOutput output;
  store.restoreSnake(9, 0, target);
  store.restoreSnake(5, 7, target);
  EXPECT_EQ(output.err(), "unvalid snake index\nunvalid time index\n");
  EXPECT_EQ(target.count, 1);
  store.restoreSnake(5, 2, target);
  EXPECT_EQ(target.count, 0);
  store.restoreSnake(5, 3, target);
  EXPECT_EQ(target.count, 2);
  EXPECT_EQ(target.lastPoint(), Vec2(3, 4));
}

std::string table(const ResultStore& store, int which) {
  std::ostringstream out;
  if (which == 0) store.writeLengths(out);
  if (which == 1) store.writeOrientations(out, 15.0f);
  if (which == 2) store.writeSegments(out);
  if (which == 3) store.writeTips(out);
  return out.str();
}

TEST(ResultTables, GapsAreNanGroups) {
  ResultStore store;
  for (unsigned t = 0; t < 3; ++t) store.storeSnake(snakeOf({Vec2(10, 50), Vec2(10, 90)}), 1, t);
  store.storeSnake(snakeOf({Vec2(1, 2), Vec2(1, 12)}), 0, 0);
  EXPECT_EQ(table(store, 3), "1 2 10 50 \nnan nan 10 50 \nnan nan 10 50 \n");
  EXPECT_EQ(table(store, 0), "10 40 \nnan 40 \nnan 40 \n");
  EXPECT_EQ(table(store, 2), "0 -10 0 -40 \nnan nan 0 -40 \nnan nan 0 -40 \n");
  EXPECT_EQ(table(store, 1), "0 0 \nnan 0 \nnan 0 \n");

  ResultStore only3;
  only3.storeSnake(snakeOf({Vec2(10, 50), Vec2(10, 90)}), 3, 0);
  EXPECT_EQ(table(only3, 0), "nan nan nan 40 \n");
  EXPECT_EQ(table(only3, 3), "nan nan nan nan nan nan 10 50 \n");
}

TEST(ResultTables, EmptyEntriesAndDefaultFloatFormat) {
  ResultStore store;
  store.storeSnake(Snake(), 0, 0);
  store.storeSnake(snakeOf({Vec2(0.1234567f, 1e7f), Vec2(0.0f, 0.0f)}), 1, 0);
  EXPECT_EQ(table(store, 0), "nan 1e+07 \n");
  EXPECT_EQ(table(store, 1), "nan -180 \n");
  EXPECT_EQ(table(store, 2), "nan nan 0.123457 1e+07 \n");
  EXPECT_EQ(table(store, 3), "nan nan 0.123457 1e+07 \n");
}

TEST(ResultTables, DotsWhateverTheLocale) {
  ResultStore store;
  store.storeSnake(snakeOf({Vec2(1.5f, 2.25f)}), 0, 0);
  std::ostringstream out;
  try {
    out.imbue(std::locale("de_DE.UTF-8"));
  } catch (const std::runtime_error&) {
    // No such locale here: a stream with a comma decimal point stands in for it.
    struct Comma : std::numpunct<char> {
      char do_decimal_point() const override { return ','; }
    };
    out.imbue(std::locale(std::locale::classic(), new Comma));
  }
  store.writeTips(out);
  EXPECT_EQ(out.str(), "1.5 2.25 \n");
}

}  // namespace
}  // namespace stemscan
