#include "login_throttle.h"

#include <gtest/gtest.h>

#include <vector>

namespace orvik::console {
namespace {

using namespace std::chrono_literals;

constexpr int kSideBySide = LoginSchedule::kSideBySide;

// Logins from one address, on as many connections, each counting how often it was woken.
struct Logins {
  std::shared_ptr<LoginThrottle> throttle = LoginThrottle::Make();
  std::string address = "10.0.0.1";
  std::vector<LoginThrottle::Ticket> tickets;
  std::vector<int> woken;
  std::vector<bool> answered;

  void Join(int n, SteadyClock::time_point now) {
    for (int i = 0; i < n; ++i) {
      const std::size_t which = tickets.size();
      woken.push_back(0);
      answered.push_back(false);
      // A wake that looks into the throttle, as a session's does: it must be called after the
      // throttle has let go of its lock.
      tickets.push_back(throttle->Join(address, now, [this, which] {
        ++woken[which];
        throttle->CountsOf(address);
      }));
    }
  }
  LoginStanding Look(std::size_t i, SteadyClock::time_point now) {
    return throttle->Look(address, tickets[i], now);
  }
  void Answer(std::size_t i, bool refused, SteadyClock::time_point now) {
    answered[i] = true;
    throttle->Checked(address, tickets[i], refused, now);
  }
  // Logins not yet answered that may be checked at `now`.
  int MayCheck(SteadyClock::time_point now) {
    int n = 0;
    for (std::size_t i = 0; i < tickets.size(); ++i) n += !answered[i] && Look(i, now).mayCheck;
    return n;
  }
  // One more login, alone: it waits as long as it is told, is answered, and `now` moves on.
  SteadyClock::time_point LogIn(bool refused, SteadyClock::time_point& now) {
    Join(1, now);
    const std::size_t i = tickets.size() - 1;
    if (const LoginStanding standing = Look(i, now); !standing.mayCheck) now = *standing.expected;
    EXPECT_TRUE(Look(i, now).mayCheck);
    Answer(i, refused, now);
    return now;
  }
};

// An office behind one address logs in all at once with right passwords: they are checked
// side by side up to the bound, and one over it waits, told nothing, only until a place
// frees; another address is never held by it.
TEST(LoginThrottleTest, LoginsWithoutRefusalsAreCheckedSideBySideUpToTheBound) {
  Logins office;
  const SteadyClock::time_point start = SteadyClock::now();
  office.Join(kSideBySide + 4, start);
  EXPECT_EQ(office.MayCheck(start), kSideBySide);
  for (int i = kSideBySide; i < kSideBySide + 4; ++i) {
    const LoginStanding standing = office.Look(i, start);
    EXPECT_FALSE(standing.mayCheck) << i;
    EXPECT_FALSE(standing.expected) << "no hold, nothing to tell";
  }
  EXPECT_EQ(office.throttle->CountsOf(office.address).waiting, kSideBySide + 4);
  Logins next;
  next.throttle = office.throttle;
  next.address = "10.0.0.2";
  next.Join(1, start);
  EXPECT_EQ(next.MayCheck(start), 1);

  // One answered: the first in line is woken and goes; the others, whose standing is the
  // same, are not woken for nothing.
  office.Answer(0, false, start + 10ms);
  EXPECT_EQ(office.woken[kSideBySide], 1);
  EXPECT_EQ(office.woken[kSideBySide + 3], 0);
  EXPECT_TRUE(office.Look(kSideBySide, start + 10ms).mayCheck);
  EXPECT_FALSE(office.Look(kSideBySide + 1, start + 10ms).mayCheck);
  // One in line hangs up: it gives its place up, and is no refusal.
  office.Answer(kSideBySide + 1, false, start + 10ms);
  EXPECT_FALSE(office.Look(kSideBySide + 2, start + 10ms).mayCheck) << "still the bound";
  for (int i = 1; i <= kSideBySide; ++i) office.Answer(i, false, start + 20ms);
  EXPECT_EQ(office.MayCheck(start + 20ms), 2);
  EXPECT_EQ(office.throttle->CountsOf(office.address).refused, 0);
}

// A guesser sends forty guesses at once on forty connections: as many as the bound are
// checked together, and from the first refusal on the rest one after the other, each after
// the answer to the one before and a hold, each told at most how long it waits.
TEST(LoginThrottleTest, GuessesSentTogetherAreCheckedOneByOneFromTheFirstRefusal) {
  Logins guesser;
  const SteadyClock::time_point start = SteadyClock::now();
  guesser.Join(40, start);
  EXPECT_EQ(guesser.MayCheck(start), kSideBySide);
  SteadyClock::time_point now = start + 10ms;
  guesser.Answer(0, true, now);
  EXPECT_EQ(guesser.MayCheck(now), kSideBySide - 1) << "none more once one is refused";
  for (int i = 1; i < kSideBySide; ++i) guesser.Answer(i, true, now);
  std::vector<SteadyClock::time_point> told;
  for (std::size_t i = kSideBySide; i < 40; ++i) told.push_back(*guesser.Look(i, now).expected);

  // Each goes when the one before has been answered and its hold is over: never two at once.
  std::vector<SteadyClock::time_point> checked;
  for (std::size_t i = kSideBySide; i < 40; ++i) {
    const LoginStanding standing = guesser.Look(i, now);
    ASSERT_FALSE(standing.mayCheck) << i;
    ASSERT_TRUE(standing.expected);
    now = *standing.expected;
    EXPECT_EQ(guesser.MayCheck(now), 1) << i;
    checked.push_back(now);
    EXPECT_LE(now, told[i - kSideBySide]) << "told at most how long: guess " << i;
    guesser.Answer(i, true, now);
  }
  EXPECT_EQ(checked.front() - start, 10ms + 30s) << "sixteen refused: the longest hold";
  for (std::size_t i = 1; i < checked.size(); ++i) EXPECT_EQ(checked[i] - checked[i - 1], 30s);
  EXPECT_EQ(guesser.throttle->CountsOf(guesser.address, now).refused, 20)
      << "those of the last ten minutes, still enough for the longest hold";
}

// Guesses one after the other wait longer each time, and a right login in between, or a
// hang-up, clears nothing; each refusal is forgotten in its time, however busy the address,
// and the address checks side by side again.
TEST(LoginThrottleTest, RefusalsHoldLongerEachTimeUntilForgotten) {
  Logins one;
  const SteadyClock::time_point start = SteadyClock::now();
  SteadyClock::time_point now = start;
  const std::chrono::seconds expected[] = {0s, 0s, 1s, 3s, 7s, 15s, 31s, 61s, 91s, 121s};
  for (const auto at : expected) EXPECT_EQ(one.LogIn(true, now) - start, at);
  EXPECT_EQ(one.LogIn(false, now) - start, 151s) << "a right login waits like any";
  EXPECT_EQ(one.LogIn(false, now) - start, 181s) << "and clears nothing";
  one.Join(1, now);
  one.Answer(one.tickets.size() - 1, false, now + 1s);  // hangs up in line
  EXPECT_EQ(one.LogIn(true, now) - start, 211s);
  EXPECT_EQ(one.throttle->CountsOf(one.address).refused, 11);

  now = start + 121s + LoginThrottle::kForgetAfter + 1s;
  one.Join(2, now);
  EXPECT_EQ(one.throttle->CountsOf(one.address, now).refused, 1);
  EXPECT_EQ(one.MayCheck(now), 1) << "one refusal remembered: one at a time, without a hold";
  now = start + 211s + LoginThrottle::kForgetAfter;
  EXPECT_EQ(one.MayCheck(now), 2) << "side by side again";
}

TEST(LoginThrottleTest, AnAddressLongQuietStartsAfreshAndTheRecordStaysBounded) {
  Logins quiet;
  quiet.throttle->SetHolds({.first = 100ms, .most = 400ms});
  SteadyClock::time_point now = SteadyClock::now();
  for (int i = 0; i < 5; ++i) quiet.LogIn(true, now);
  const SteadyClock::time_point answered = now;
  quiet.Join(1, now);
  EXPECT_EQ(*quiet.Look(5, now).expected - answered, 400ms) << "the holds set";
  quiet.Answer(5, false, now);
  const auto later = now + LoginThrottle::kForgetAfter + 1s;
  quiet.Join(1, later);
  EXPECT_TRUE(quiet.Look(6, later).mayCheck) << "counted from one again";
  quiet.Answer(6, true, later);
  EXPECT_EQ(quiet.throttle->CountsOf(quiet.address, later).refused, 1);

  // Guessers from ever new addresses cannot grow the record without end; the address
  // refused last is still held.
  const auto& t = quiet.throttle;
  for (std::size_t i = 0; i < LoginThrottle::kMaxAddresses + 100; ++i) {
    const std::string address = "fd00::" + std::to_string(i);
    const auto at = later + std::chrono::milliseconds(i);
    for (int n = 0; n < 2; ++n) t->Checked(address, t->Join(address, at, {}), true, at);
  }
  EXPECT_EQ(t->CountsOf("fd00::" + std::to_string(LoginThrottle::kMaxAddresses + 99)).refused, 2);
  EXPECT_EQ(t->CountsOf("fd00::0").refused, 0) << "the longest quiet one was forgotten";
}

TEST(LoginThrottleTest, AnIpv6HostCountsAsOneWhicheverOfItsAddressesItUses) {
  const auto key = [](const char* text) { return LoginThrottle::KeyOf(QHostAddress(text)); };
  EXPECT_EQ(key("2001:db8:1:2::1"), key("2001:db8:1:2:ffff:eeee:dddd:cccc"));
  EXPECT_NE(key("2001:db8:1:2::1"), key("2001:db8:1:3::1"));
  EXPECT_EQ(key("10.0.0.1"), "10.0.0.1");
  EXPECT_EQ(key("::ffff:10.0.0.1"), "10.0.0.1") << "an IPv4 client on an IPv6 listener";
  EXPECT_NE(key("10.0.0.1"), key("10.0.0.2"));
}

}  // namespace
}  // namespace orvik::console
