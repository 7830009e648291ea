#include "login_throttle.h"

#include <gtest/gtest.h>

namespace orvik::console {
namespace {

using namespace std::chrono_literals;

TEST(LoginThrottleTest, GuessesFromOneAddressWaitLongerEachTimeUpToTheLimit) {
  LoginThrottle t;
  const SteadyClock::time_point start = SteadyClock::now();
  EXPECT_LE(t.HeldUntil("10.0.0.1"), start) << "an address never refused waits for nothing";
  t.Refused("10.0.0.1", start);
  EXPECT_LE(t.HeldUntil("10.0.0.1"), start) << "a typing mistake may be mended at once";
  const std::chrono::seconds expected[] = {1s, 2s, 4s, 8s, 16s, 30s, 30s};
  SteadyClock::time_point now = start;
  for (const auto hold : expected) {
    now += 1s;
    t.Refused("10.0.0.1", now);
    EXPECT_EQ(t.HeldUntil("10.0.0.1"), now + hold);
  }
  EXPECT_LE(t.HeldUntil("10.0.0.2"), start) << "another address is not held";
}

TEST(LoginThrottleTest, AnAddressLongQuietStartsAfreshAndTheRecordStaysBounded) {
  LoginThrottle t;
  const SteadyClock::time_point start = SteadyClock::now();
  for (int i = 0; i < 5; ++i) t.Refused("10.0.0.1", start);
  ASSERT_GT(t.HeldUntil("10.0.0.1"), start);
  const auto later = start + LoginThrottle::kForgetAfter + 1s;
  t.Refused("10.0.0.1", later);
  EXPECT_LE(t.HeldUntil("10.0.0.1"), later) << "counted from one again";

  // Guessers from ever new addresses cannot grow the record without end; the address
  // refused last is still held.
  for (std::size_t i = 0; i < LoginThrottle::kMaxAddresses + 100; ++i) {
    const std::string address = "fd00::" + std::to_string(i);
    t.Refused(address, later + std::chrono::milliseconds(i));
    t.Refused(address, later + std::chrono::milliseconds(i));
  }
  const std::string last = "fd00::" + std::to_string(LoginThrottle::kMaxAddresses + 99);
  EXPECT_GT(t.HeldUntil(last), later + std::chrono::milliseconds(LoginThrottle::kMaxAddresses));
  EXPECT_LE(t.HeldUntil("fd00::0"), later) << "the longest quiet one was forgotten";
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
