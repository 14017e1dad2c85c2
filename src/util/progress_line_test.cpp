// The progress line on a terminal: whatever else is printed first erases it.
#include "util/progress_line.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "support/synthetic.h"

namespace stemscan {
namespace {

TEST(ProgressLine, IsErasedBeforeAnyOtherLineAndEndedAtTheEnd) {
  std::ostringstream screen;
  testing::CapturedOutput output;  // what the program prints on standard output and error
  {
    ProgressLine progress(screen, true);
    progress.show(1, 10);
    std::cout << "plate01.png" << std::endl;
    progress.show(2, 10);
    std::cerr << "cannot read image plate02.png; skipped" << std::endl;
  }
  const std::string drawn = screen.str();
  // Drawn, erased (before the file name), drawn again, erased again, and nothing left over.
  EXPECT_EQ(drawn.find("\rimage 1 of 10"), 0u) << drawn;
  const std::size_t erased = drawn.find("\r\x1b[K");
  ASSERT_NE(erased, std::string::npos);
  EXPECT_LT(erased, drawn.find("image 2 of 10"));
  EXPECT_NE(drawn.find("\r\x1b[K", drawn.find("image 2 of 10")), std::string::npos);
  EXPECT_EQ(output.out(), "plate01.png\n");
  EXPECT_EQ(output.err(), "cannot read image plate02.png; skipped\n");

  std::ostringstream silent;
  {
    ProgressLine off(silent, false);
    off.show(1, 2);
  }
  EXPECT_TRUE(silent.str().empty());
}

}  // namespace
}  // namespace stemscan
