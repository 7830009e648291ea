// The separator routines and the yielding wait.

#include "string_works.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>

#include "fake_event_pump.h"

namespace orvik::client {
namespace {

TEST(TextBeforeAfterTest, Separators) {
  const struct {
    const char* text;
    const char* separator;
    const char* before;
    const char* after;
  } cases[] = {
      {"CODE\\Description", "\\", "CODE", "Description"},
      {"\\rest", "\\", "", "rest"},
      {"none", "\\", "none", ""},
      {"a|b|c", "|", "a", "b|c"},
      {"", "|", "", ""},
      {"ab<>cd", "<>", "ab", ">cd"},  // one past the find's first character
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TextBefore(c.text, c.separator), c.before) << c.text;
    EXPECT_EQ(TextAfter(c.text, c.separator), c.after) << c.text;
  }
}

TEST(TextBeforeAfterTest, LongTextsAreNotLimitedToSixteenBits) {
  const std::string text = std::string(100000, 'x') + "|tail";
  EXPECT_EQ(TextBefore(text, "|").size(), 100000u);
  EXPECT_EQ(TextAfter(text, "|"), "tail");
}

TEST(DelaySecondsTest, WaitsOnTheSteadyClockWhileEventsRun) {
  FakeEventPump pump(std::chrono::milliseconds(300));
  const auto start = pump.Now();
  bool tick = false;
  pump.Post([&] { tick = true; });
  DelaySeconds(1, pump);
  EXPECT_TRUE(tick);
  EXPECT_EQ(pump.Now() - start, std::chrono::seconds(1));
  EXPECT_EQ(pump.pumps, 4);  // 0.3, 0.6, 0.9, then the last 0.1
}

TEST(DelaySecondsTest, NothingToWaitFor) {
  FakeEventPump pump;
  DelaySeconds(0, pump);
  DelaySeconds(-2, pump);
  DelaySeconds(std::nan(""), pump);
  EXPECT_EQ(pump.pumps, 0);
}

TEST(DelaySecondsTest, RealPumpWaitsAboutTheTime) {
  QtEventPump pump;
  const auto start = SteadyClock::now();
  DelaySeconds(0.05, pump);
  const auto waited = SteadyClock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(50));
}

}  // namespace
}  // namespace orvik::client
