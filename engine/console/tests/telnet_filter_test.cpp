#include "telnet_filter.h"

#include <gtest/gtest.h>

namespace orvik::console {
namespace {

std::string Bytes(std::initializer_list<int> codes) {
  std::string s;
  for (int c : codes) s.push_back(static_cast<char>(c));
  return s;
}

constexpr int IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;

TEST(TelnetFilterTest, ARawClientsBytesPassUnchangedBothWays) {
  TelnetFilter f;
  std::string all;
  for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
  std::string answer;
  EXPECT_EQ(f.Receive(all, &answer), all);
  EXPECT_EQ(f.Receive(Bytes({IAC, WILL, 1, 'x'}), &answer), Bytes({IAC, WILL, 1, 'x'}))
      << "a raw client stays raw";
  EXPECT_TRUE(answer.empty());
  EXPECT_FALSE(f.IsTelnet());
  EXPECT_EQ(f.Send(Bytes({IAC, 254, 253})), Bytes({IAC, 254, 253}));
}

// What the server says first to a client that opened with telnet commands.
const std::string kOffer = Bytes({IAC, WILL, 1, IAC, WILL, 3});

TEST(TelnetFilterTest, NegotiationIsRemovedAndAllButEchoAndGoAheadRefused) {
  TelnetFilter f;
  std::string answer;
  const std::string in = Bytes({IAC, WILL, 24, IAC, DO, 5, IAC, WONT, 5, IAC, DONT, 31}) + "abc";
  EXPECT_EQ(f.Receive(in, &answer), "abc");
  EXPECT_TRUE(f.IsTelnet());
  EXPECT_EQ(answer, kOffer + Bytes({IAC, DONT, 24, IAC, WONT, 5}));
  EXPECT_FALSE(f.ServerEchoes()) << "offered, not yet agreed";
}

TEST(TelnetFilterTest, TheServerTakesOverEchoingWhenTheClientAgrees) {
  TelnetFilter f;
  std::string answer;
  f.Receive(Bytes({IAC, DO, 24}), &answer);
  answer.clear();
  // The client's answers to the offer are not answered again: no loop.
  EXPECT_EQ(f.Receive(Bytes({IAC, DO, 1, IAC, DO, 3, IAC, WILL, 3}) + "x", &answer), "x");
  EXPECT_TRUE(f.ServerEchoes());
  EXPECT_EQ(answer, Bytes({IAC, DO, 3})) << "the client's own go-ahead offer is welcome";
  answer.clear();
  f.Receive(Bytes({IAC, DO, 1}), &answer);
  EXPECT_EQ(answer, "") << "asked again for what is on: no answer";
  // A client may take it back later; it is told the server stops, and echoes itself.
  f.Receive(Bytes({IAC, DONT, 1}), &answer);
  EXPECT_FALSE(f.ServerEchoes());
  EXPECT_EQ(answer, Bytes({IAC, WONT, 1}));
  answer.clear();
  f.Receive(Bytes({IAC, DO, 1}), &answer);
  EXPECT_TRUE(f.ServerEchoes());
  EXPECT_EQ(answer, Bytes({IAC, WILL, 1}));
}

TEST(TelnetFilterTest, AClientThatRefusesKeepsEchoingItself) {
  TelnetFilter f;
  std::string answer;
  f.Receive(Bytes({IAC, DO, 24}), &answer);
  answer.clear();
  f.Receive(Bytes({IAC, DONT, 1}), &answer);
  EXPECT_FALSE(f.ServerEchoes());
  EXPECT_EQ(answer, "");
}

TEST(TelnetFilterTest, MarksAndDoubledCommandBytesAreDataInTelnetMode) {
  TelnetFilter f;
  std::string answer;
  f.Receive(Bytes({IAC, DO, 3}), &answer);
  EXPECT_EQ(f.Receive(Bytes({'A', 254, 'B', 253, 'C', 252, IAC, IAC, 'D'}), &answer),
            Bytes({'A', 254, 'B', 253, 'C', 252, 255, 'D'}));
  EXPECT_EQ(f.Send(Bytes({'x', 255, 254})), Bytes({'x', 255, 255, 254}));
}

TEST(TelnetFilterTest, SequencesSplitAcrossChunksAreStillRemoved) {
  TelnetFilter f;
  std::string answer;
  EXPECT_EQ(f.Receive(Bytes({IAC, SB, 24, 0, 'v', 't'}), &answer), "");
  EXPECT_EQ(f.Receive(Bytes({'1', '0', '0', IAC}), &answer), "");
  EXPECT_EQ(f.Receive(Bytes({SE, 'o', 'k', IAC}), &answer), "ok");
  EXPECT_EQ(f.Receive(Bytes({WILL}), &answer), "");
  EXPECT_EQ(f.Receive(Bytes({31, 'z'}), &answer), "z");
  EXPECT_EQ(answer, kOffer + Bytes({IAC, DONT, 31}));
}

TEST(TelnetFilterTest, AFirstNegotiationSplitAfterItsIacStillMakesATelnetConnection) {
  TelnetFilter f;
  std::string answer;
  EXPECT_EQ(f.Receive(Bytes({IAC}), &answer), "");
  EXPECT_FALSE(f.IsTelnet());
  EXPECT_EQ(f.Receive(Bytes({DO, 3, IAC, WILL, 24}) + "ok", &answer), "ok");
  EXPECT_TRUE(f.IsTelnet());
  EXPECT_EQ(answer, kOffer + Bytes({IAC, DONT, 24}));

  // A raw client whose first key is the byte 255 gets it through with the next one.
  TelnetFilter raw;
  EXPECT_EQ(raw.Receive(Bytes({255}), &answer), "");
  EXPECT_EQ(raw.Receive("a", &answer), Bytes({255, 'a'}));
  EXPECT_FALSE(raw.IsTelnet());
}

TEST(TelnetFilterTest, CommandsWithoutOptionsAndCrNulAreHandled) {
  TelnetFilter f;
  std::string answer;
  f.Receive(Bytes({IAC, WILL, 3}), &answer);
  // NOP, Are You There, Go Ahead: nothing for the session.
  EXPECT_EQ(f.Receive(Bytes({'a', IAC, 241, 'b', IAC, 246, IAC, 249, 'c'}), &answer), "abc");
  EXPECT_EQ(f.Receive(Bytes({'l', 's', '\r', 0, 'x', '\r', '\n'}), &answer), "ls\rx\r\n");
  EXPECT_EQ(f.Receive(Bytes({'\r'}), &answer), "\r");
  EXPECT_EQ(f.Receive(Bytes({0, 'y'}), &answer), "y") << "CR NUL split across chunks";
}

}  // namespace
}  // namespace orvik::console
