#include "login_throttle.h"

#include <gtest/gtest.h>

#include <vector>

namespace orvik::console {
namespace {

using namespace std::chrono_literals;

// Forty guesses sent at once on forty connections: each takes its turn before any is
// answered, and the turns spread out as though each before it had been refused.
TEST(LoginThrottleTest, LoginsInFlightTogetherTakeTurnsSlowerEachTime) {
  auto t = LoginThrottle::Make();
  const SteadyClock::time_point start = SteadyClock::now();
  std::vector<SteadyClock::time_point> turns;
  for (int i = 0; i < 40; ++i) turns.push_back(t->Turn("10.0.0.1", start));
  const std::chrono::seconds expected[] = {0s, 0s, 1s, 3s, 7s, 15s, 31s, 61s, 91s};
  for (std::size_t i = 0; i < std::size(expected); ++i)
    EXPECT_EQ(turns[i] - start, expected[i]) << "login " << i + 1;
  EXPECT_EQ(turns[39] - start, 61s + 32 * 30s) << "two a minute, however many connections";
  EXPECT_LE(t->Turn("10.0.0.2", start), start) << "another address is not held";
  EXPECT_LE(t->Turn("10.0.0.2", start), start) << "a typing mistake is mended at once";
  EXPECT_GT(t->Turn("10.0.0.2", start), start);

  // The guesser gives up: what was refused still holds the next login, the turns given to
  // connections that went away do not.
  for (int i = 0; i < 5; ++i) t->Checked("10.0.0.1", true, start + 1s);
  for (int i = 5; i < 40; ++i) t->Checked("10.0.0.1", false, start + 1s);
  EXPECT_EQ(t->CountsOf("10.0.0.1").refused, 5);
  EXPECT_EQ(t->CountsOf("10.0.0.1").waiting, 0);
  EXPECT_EQ(t->Turn("10.0.0.1", start + 2s) - start, 1s + 8s);
}

TEST(LoginThrottleTest, AnAddressLongQuietStartsAfreshAndTheRecordStaysBounded) {
  auto t = LoginThrottle::Make();
  t->SetHolds({.first = 100ms, .most = 400ms});
  const SteadyClock::time_point start = SteadyClock::now();
  for (int i = 0; i < 5; ++i) {
    t->Turn("10.0.0.1", start);
    t->Checked("10.0.0.1", true, start);
  }
  EXPECT_EQ(t->Turn("10.0.0.1", start) - start, 400ms) << "the holds set";
  t->Checked("10.0.0.1", false, start);
  const auto later = start + LoginThrottle::kForgetAfter + 1s;
  EXPECT_LE(t->Turn("10.0.0.1", later), later) << "counted from one again";
  t->Checked("10.0.0.1", true, later);
  EXPECT_EQ(t->CountsOf("10.0.0.1").refused, 1);

  // Guessers from ever new addresses cannot grow the record without end; the address
  // refused last is still held.
  for (std::size_t i = 0; i < LoginThrottle::kMaxAddresses + 100; ++i) {
    const std::string address = "fd00::" + std::to_string(i);
    for (int n = 0; n < 2; ++n) {
      t->Turn(address, later + std::chrono::milliseconds(i));
      t->Checked(address, true, later + std::chrono::milliseconds(i));
    }
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
