// The relay's deadlines: met earliest first and never for a slot that was freed or a deadline
// that was moved.

#include "slot_deadlines.h"

#include <gtest/gtest.h>

namespace orvik::console {
namespace {

using namespace std::chrono_literals;
using Kind = SlotDeadlines::Kind;

TEST(SlotDeadlinesTest, DeadlinesFallDueEarliestFirstAndOnlyOnceWhereTheyWereLastSet) {
  const auto t0 = SteadyClock::now();
  SlotDeadlines d;
  EXPECT_FALSE(d.Next());
  d.Set(2, Kind::kLogin, t0 + 60s);
  d.Set(1, Kind::kStall, t0 + 30s);
  d.Set(3, Kind::kCutOff, t0 + 2s);
  d.Set(3, Kind::kInterrupt, t0 + 1500ms);
  d.Set(2, Kind::kLogin, t0 + 10s);  // moved: the earlier time is gone
  EXPECT_EQ(d.Next(), t0 + 1500ms);
  EXPECT_EQ(d.At(2, Kind::kLogin), t0 + 10s);

  EXPECT_FALSE(d.PopDue(t0 + 1s)) << "nothing is due before its time";
  std::vector<std::pair<int, Kind>> met;
  while (const auto due = d.PopDue(t0 + 31s)) met.emplace_back(due->slot, due->kind);
  EXPECT_EQ(met,
            (std::vector<std::pair<int, Kind>>{
                {3, Kind::kInterrupt}, {3, Kind::kCutOff}, {2, Kind::kLogin}, {1, Kind::kStall}}));
  EXPECT_FALSE(d.Next());
  EXPECT_FALSE(d.At(2, Kind::kLogin));
}

TEST(SlotDeadlinesTest, AFreedSlotOrAClearedDeadlineIsNeverMet) {
  const auto t0 = SteadyClock::now();
  SlotDeadlines d;
  for (int slot : {1, 2, 3}) {
    d.Set(slot, Kind::kTakeOutput, t0 + 1ms);
    d.Set(slot, Kind::kCutOff, t0 + 2s);
  }
  d.ClearSlot(2);
  d.Clear(3, Kind::kTakeOutput);
  d.Clear(3, Kind::kLogin);  // none set: nothing happens
  std::vector<std::pair<int, Kind>> met;
  while (const auto due = d.PopDue(t0 + 1h)) met.emplace_back(due->slot, due->kind);
  EXPECT_EQ(met, (std::vector<std::pair<int, Kind>>{
                     {1, Kind::kTakeOutput}, {1, Kind::kCutOff}, {3, Kind::kCutOff}}));
  d.Set(1, Kind::kLogin, t0);
  d.ClearAll();
  EXPECT_FALSE(d.Next());
}

}  // namespace
}  // namespace orvik::console
