#include "gui/scripted_window_system.h"

#include <gtest/gtest.h>

#include <sstream>

namespace stemscan {
namespace {

SessionScript parse(const std::string& text) {
  std::string error;
  std::optional<SessionScript> script = parseSessionScript(text, "s.txt", &error);
  EXPECT_TRUE(script) << error;
  return script ? *script : SessionScript();
}

TEST(SessionScript, ReadsEveryKindOfLine) {
  const SessionScript script = parse(
      "# a comment\n"
      "seed 12\n"
      "\n"
      "key q\nkey +\nkey #\nkey space\nkey enter\nkey esc\nkey tab\nkey code 300\n"
      "timeout\n"
      "mouse StemScan rup 10 20 ctrl alt\n"
      "slider orientation_parameter x 7\n");
  ASSERT_EQ(script.seed, 12u);
  ASSERT_EQ(script.events.size(), 11u);
  const int keys[] = {'q', '+', '#', 32, 13, 27, 9, 300};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(script.events[i].key, keys[i]);
  EXPECT_EQ(script.events[8].kind, SessionEvent::Kind::kTimeout);
  const SessionEvent& mouse = script.events[9];
  EXPECT_EQ(mouse.mouseEvent, 5);
  EXPECT_EQ(mouse.flags, 8 | 32);
  EXPECT_EQ(mouse.line, 13);
  EXPECT_EQ(script.events[10].window, "orientation parameter");
  // Each event written back reads as the same line.
  for (const SessionEvent& event : script.events) {
    const SessionScript again = parse(formatSessionEvent(event));
    EXPECT_EQ(formatSessionEvent(again.events.at(0)), formatSessionEvent(event));
  }
}

TEST(SessionScript, MalformedLinesNameFileAndLine) {
  const char* bad[] = {"key\n",        "key ab\n", "mouse w fly 1 2\n", "mouse w move x 2\n",
                       "slider w s\n", "jump\n",   "key q\nseed 3\n",   "mouse w move 1 2 meta\n"};
  for (const char* text : bad) {
    std::string error;
    EXPECT_FALSE(parseSessionScript(text, "bad.txt", &error)) << text;
    EXPECT_NE(error.find("bad.txt:"), std::string::npos) << error;
  }
  std::string error;
  parseSessionScript("key q\n\nfly away\n", "bad.txt", &error);
  EXPECT_NE(error.find("bad.txt:3:"), std::string::npos) << error;
}

TEST(ScriptedWindowSystem, NestedWaitsConsumeTheFollowingLines) {
  std::ostringstream messages;
  ScriptedWindowSystem windows(parse("mouse w ldown 1 2\nkey a\nkey b\ntimeout\n"), messages);
  windows.createWindow("w");
  int inner = 0;
  windows.setMouseHandler("w", [&](int event, int x, int y, int) {
    EXPECT_EQ(event, 1);
    EXPECT_EQ(x + y, 3);
    inner = windows.waitKey(5000);  // the console's wait takes the next key
  });
  EXPECT_EQ(windows.waitKey(10), 'b');
  EXPECT_EQ(inner, 'a');
  EXPECT_EQ(windows.waitKey(10), kNoKey);
  EXPECT_TRUE(windows.inputExhausted());
  EXPECT_EQ(windows.waitKey(10), ' ');  // a finished script answers as <space>
}

TEST(ScriptedWindowSystem, SliderCallbacksRunOnlyOnChange) {
  std::ostringstream messages;
  ScriptedWindowSystem windows(
      parse("slider w s 5\nslider w s 5\nslider w s 9\nslider w none 1\nmouse gone move 1 1\n"
            "key x\n"),
      messages);
  windows.createWindow("w");
  std::vector<int> seen;
  windows.createSlider("s", "w", 5, 10, [&](int v) { seen.push_back(v); });
  EXPECT_TRUE(seen.empty());  // creating at the initial value runs nothing
  windows.setSliderPosition("s", "w", 5);
  EXPECT_TRUE(seen.empty());
  windows.setSliderPosition("s", "w", 3);
  EXPECT_EQ(seen, std::vector<int>{3});
  EXPECT_EQ(windows.waitKey(5), 'x');
  EXPECT_EQ(seen, (std::vector<int>{3, 5, 9}));
  EXPECT_EQ(windows.window("w").sliders.at("s").position, 9);
  EXPECT_NE(messages.str().find("s.txt:4: no slider"), std::string::npos);
  EXPECT_NE(messages.str().find("s.txt:5: no window"), std::string::npos);
}

TEST(ScriptedWindowSystem, KeepsWindowGeometryAndLastImage) {
  std::ostringstream messages;
  ScriptedWindowSystem windows(SessionScript(), messages);
  windows.createWindow("w");
  windows.moveWindow("w", 100, 100);
  windows.resizeWindow("w", 500, 375);
  windows.showImage("w", cv::Mat(4, 6, CV_8UC1, cv::Scalar(9)));
  const auto& w = windows.window("w");
  EXPECT_TRUE(w.exists);
  EXPECT_EQ(w.x + w.y, 200);
  EXPECT_EQ(w.width, 500);
  EXPECT_EQ(w.height, 375);
  EXPECT_EQ(w.lastSize, cv::Size(6, 4));
  EXPECT_EQ(w.shows, 1);
  windows.destroyWindow("w");
  EXPECT_FALSE(windows.window("w").exists);
}

}  // namespace
}  // namespace stemscan
