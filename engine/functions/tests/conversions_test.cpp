#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <string>

#include "date_text.h"
#include "functions.h"

namespace orvik {
namespace {

const std::string kAm(1, kAttributeMark);
const std::string kVm(1, kValueMark);

std::string ThisYear() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return std::to_string(local.tm_year + 1900);
}

struct Case {
  const char* in;
  const char* code;
  Variant out;
};

void ExpectOConv(Functions& f, std::initializer_list<Case> cases) {
  for (const Case& c : cases) EXPECT_EQ(f.OConv(c.in, c.code), c.out) << c.in << " " << c.code;
}

void ExpectIConv(Functions& f, std::initializer_list<Case> cases) {
  for (const Case& c : cases) EXPECT_EQ(f.IConv(c.in, c.code), c.out) << c.in << " " << c.code;
}

// --- OConv: dates ----------------------------------------------------------------------

TEST(OConvDate, ZeroOrNoNumberIsNoDate) {
  Functions f(true);
  for (const char* s : {"0", "", "abc", "0x", " 0 "}) {
    EXPECT_EQ(f.OConv(s, "D2/"), Variant("")) << s;
    EXPECT_EQ(f.OConv(s, "DZ"), Variant("")) << s;
    EXPECT_EQ(f.ErrorDetailFn(), "");
  }
}

TEST(OConvDate, EveryCodeFor6July2000) {
  Functions us(true), eu(false);
  const std::pair<const char*, const char*> sameInBothOrders[] = {
      {"D", "06 Jul 2000"}, {"D2", "06 Jul 00"}, {"D0", "06 Jul"}, {"DD", "6"}, {"DM", "7"},
      {"DMM", "Jul"},       {"DMA", "July"},     {"DQ", "3"},      {"DW", "4"}, {"DWA", "Thursday"},
      {"DY", "2000"},       {"D2Y", "00"},       {"DJ", "2000188"}};
  for (const auto& [code, shown] : sameInBothOrders) {
    EXPECT_EQ(us.OConv("11876", code), Variant(shown)) << code;
    EXPECT_EQ(eu.OConv("11876", code), Variant(shown)) << code;
    EXPECT_EQ(us.ErrorDetailFn(), "") << code;
  }
  const char* const numeric[][3] = {
      {"D2/", "07/06/00", "06/07/00"},     {"D2-", "07-06-00", "06-07-00"},
      {"D2.", "07.06.00", "06.07.00"},     {"D4/", "07/06/2000", "06/07/2000"},
      {"D4-", "07-06-2000", "06-07-2000"}, {"D4.", "07.06.2000", "06.07.2000"},
      {"D0-", "07-06", "06-07"},           {"D0.", "07.06", "06.07"}};
  for (const auto& [code, monthFirst, dayFirst] : numeric) {
    EXPECT_EQ(us.OConv("11876", code), Variant(monthFirst)) << code;
    EXPECT_EQ(eu.OConv("11876", code), Variant(dayFirst)) << code;
  }
  const std::pair<const char*, const char*> aliases[] = {
      {"D4", "D"},     {"D/", "D4/"},    {"D-", "D4-"}, {"D.", "D4."},
      {"DMMM", "DMM"}, {"DMMMM", "DMA"}, {"d2/", "D2/"}};
  for (const auto& [alias, code] : aliases) {
    EXPECT_EQ(eu.OConv("11876", alias), eu.OConv("11876", code)) << alias;
  }
}

TEST(OConvDate, AroundDayZeroAndRounding) {
  Functions f(true);
  ExpectOConv(f, {{"1", "D", "01 Jan 1968"},
                  {"-1", "D", "30 Dec 1967"},
                  {"0.4", "D", "31 Dec 1967"},
                  // The day is 24837 plus the number, rounded halves to even: the sum is
                  // rounded, not the number, and 24837 is odd.
                  {"0.5", "D", "01 Jan 1968"},
                  {"1.5", "D", "01 Jan 1968"},
                  {"2.5", "D", "03 Jan 1968"},
                  {"-0.5", "D", "30 Dec 1967"},
                  {"-1.5", "D", "30 Dec 1967"},
                  {"0.5", "DW", "1"},
                  {"1.6", "D", "02 Jan 1968"},
                  {" 1,000 ", "D", "26 Sep 1970"},
                  {"11748", "DJ", "2000060"},
                  {"12054", "DJ", "2000366"},
                  {"11879", "DW", "7"}});
  EXPECT_EQ(f.OConv("11876" + kAm + "99", "D"), Variant("06 Jul 2000"));
}

TEST(OConvDate, FarDaysAreExact) {
  Functions f(false);
  ExpectOConv(f, {{"2933628", "D", "31 Dec 9999"},
                  {"2933629", "D", "01 Jan 10000"},
                  {"2147483647", "D", "10 Jul 5881578"},
                  {"2147483647", "DJ", "5881578191"},
                  {"-2147483648", "D4-", "21-06--5877643"},
                  {"-2147483648", "D2Y", "57"},
                  {"-718431", "D", "31 Dec 0000"}});
  EXPECT_EQ(f.ErrorDetailFn(), "");
}

TEST(OConvDate, BadCodesAndBadNumbers) {
  Functions f(true);
  EXPECT_EQ(f.OConv("11876", "DZ"), Variant("####"));
  EXPECT_EQ(f.ErrorDetailFn(), "[951] Invalid Processing Code");
  EXPECT_EQ(f.OConv("11876", "D0/"), Variant("####"));
  EXPECT_EQ(f.OConv("12ab", "D"), Variant("12ab"));
  EXPECT_EQ(f.ErrorDetailFn(), "[13] Type mismatch");
  EXPECT_EQ(f.OConv("1E300", "D"), Variant("1E300"));
  EXPECT_EQ(f.ErrorDetailFn(), "[6] Overflow");
  // Each call starts with a clean detail.
  f.OConv("1", "D");
  EXPECT_EQ(f.ErrorDetailFn(), "");
}

// --- OConv: amounts --------------------------------------------------------------------

TEST(OConvAmount, ScaledIntegersShowExactly) {
  Functions f(true);
  ExpectOConv(f, {{"123456", "MR2", "1234.56"},
                  {"-5", "MR2", "-0.05"},
                  {"", "MR2", "0.00"},
                  {"1E3", "MR2", "10.00"},
                  {"12.345", "MR2", "0.12"},
                  // Past what a Double holds: every digit is kept.
                  {"123456789012345678", "MR2", "1234567890123456.78"},
                  {"1", "MR99", "0.000000001"}});
  EXPECT_EQ(f.ErrorDetailFn(), "");
}

TEST(OConvAmount, DecimalsAndScaleRoundHalvesAwayFromZero) {
  Functions f(true);
  ExpectOConv(f, {{"45", "MR23", "0.05"},
                  {"-45", "MR23", "-0.05"},
                  {"99995", "MR23", "100.00"},
                  {"123456", "MR25", "1.23"},
                  {"123456", "MR20", "1234.56"},
                  {"1.005", "MR20", "0.01"},
                  // A negative amount that rounds to nothing carries no sign.
                  {"-4", "MR23", "0.00"}});
}

TEST(OConvAmount, ZeroSuppressionAndFillCharacters) {
  Functions f(true);
  ExpectOConv(f, {{"", "MR2Z", ""},
                  {"4", "MR23Z", ""},
                  {"0", "MRZ", ""},
                  // The fill character ends the mask; nothing is padded.
                  {"123456", "MR2#10", "1234.56"},
                  {"123456", "MR4#*2", "12.3456"},
                  {"1234", "MR*2", 1234.0}});
  EXPECT_EQ(f.ErrorDetailFn(), "Received MR with no numerics");
}

TEST(OConvAmount, ThousandsPattern) {
  Functions f(true);
  ExpectOConv(f, {{"123456", "MR2,", "1,234.56"},
                  {"123450", "MR2,", "1,234.5"},
                  {"123400", "MR2,", "1,234."},
                  {"50", "MR2,", ".5"},
                  {"-5", "MR2,", "-.05"},
                  {"123456789012345678", "MR2,", "1,234,567,890,123,456.78"},
                  {"1234", "MR,", "1,234."},
                  {"1234.50", "MR,", "1,234.5"},
                  {"1.5E-7", "MR,", ".00000015"}});
}

TEST(OConvAmount, MaskWithoutDigitsGivesTheNumberBack) {
  Functions f(true);
  ExpectOConv(f, {{"1234", "MR", 1234.0}, {"-12.5", "MD0", -12.5}, {"abc", "MR", Variant()}});
  EXPECT_EQ(f.ErrorDetailFn(), "Received MR with no numerics");
}

TEST(OConvAmount, FieldColumnsFollowTheFraction) {
  Functions f(true);
  f.OConv("123456", "MR2,");
  EXPECT_EQ(f.Col1(), 5);
  EXPECT_EQ(f.Col2(), 8);
  f.OConv("1234", "MR");
  EXPECT_EQ(f.Col1(), 0);
  EXPECT_EQ(f.Col2(), 0);
}

// --- OConv: character classes and unknown codes ----------------------------------------

TEST(OConvClass, KeepsOrDropsLettersAndDigits) {
  Functions f(true);
  ExpectOConv(f, {{"a1-B2", "MCA", "aB"},
                  {"a1-B2", "MCN", "12"},
                  {"a1-B2", "mcna", "a1B2"},
                  {"a1-B2", "MC/A", "1-2"},
                  {"a1-B2", "MC/AN", "-"},
                  {"a1-B2", "MCU", "A1-B2"},
                  {"\xE9t\xE9", "MCU", "\xC9T\xC9"},
                  {"\xE9t\xE9", "MCA", "t"}});
  EXPECT_EQ(f.OConv("a" + kAm + "b", "MCU"), Variant("A"));
}

TEST(OConvClass, NothingKeptIsEmpty) {
  Functions f(true);
  EXPECT_EQ(f.OConv("123", "MCA"), Variant());
  EXPECT_EQ(f.OConv("a1", "MC/AN"), Variant());
  for (const char* code : {"MCDX", "MCXD", "MCS", "MCT", "MC", "MX", "M"}) {
    EXPECT_EQ(f.OConv("a1", code), Variant()) << code;
    EXPECT_EQ(f.ErrorDetailFn(), "") << code;
  }
}

TEST(OConvUnknown, OtherFamiliesShowHashes) {
  Functions f(true);
  EXPECT_EQ(f.OConv("abc", "X1"), Variant("####"));
  EXPECT_EQ(f.ErrorDetailFn(), "Invalid Processing Code");
  EXPECT_EQ(f.OConv("", "X1"), Variant(""));
  EXPECT_EQ(f.ErrorDetailFn(), "");
  EXPECT_EQ(f.OConv("", "MC"), Variant(""));
}

// --- IConv: dates ----------------------------------------------------------------------

TEST(IConvDate, NumericDatesFollowTheMonthOrder) {
  Functions us(true), eu(false);
  ExpectIConv(us, {{"01/01/1968", "D", 1.0},
                   {"07/06/2000", "D", 11876.0},
                   {"7-6-00", "D2-", 11876.0},
                   {"07.06.2000", "D", 11876.0}});
  ExpectIConv(eu, {{"01/01/1968", "D", 1.0},
                   {"07/06/2000", "D", 11847.0},
                   {"2000-07-06", "D", 11876.0},
                   {"31/12/1967", "D", 0.0}});
  EXPECT_EQ(us.ErrorDetailFn(), "");
}

TEST(IConvDate, MonthNamesInAnyCase) {
  Functions us(true), eu(false);
  for (const char* s : {"6 Jul 2000", "July 6, 2000", "06-JUL-2000", "Jul 6 2000", "6jul2000",
                        "Jul. 6, 2000", "2000 jul 06", "6 JULY 00"}) {
    EXPECT_EQ(us.IConv(s, "D"), Variant(11876.0)) << s;
    EXPECT_EQ(eu.IConv(s, "D"), Variant(11876.0)) << s;
  }
}

TEST(IConvDate, YearsOfTwoDigitsAndOmittedYears) {
  Functions f(true);
  ExpectIConv(f, {{"1/1/29", "D", 22282.0}, {"1/1/30", "D", -13878.0}});
  EXPECT_EQ(f.OConv(f.IConv("7/6", "D").ToString(), "D4/"), Variant("07/06/" + ThisYear()));
  EXPECT_EQ(f.OConv(f.IConv("6 Jul", "D").ToString(), "D4/"), Variant("07/06/" + ThisYear()));
  // The reader asks for the year only when it needs one, and checks 29 February by it.
  const auto leap = [] { return std::int64_t{2024}; };
  const auto common = [] { return std::int64_t{2023}; };
  ASSERT_TRUE(ReadDateText("2/29", true, leap).has_value());
  EXPECT_EQ(ReadDateText("2/29", true, leap)->year, 2024);
  EXPECT_FALSE(ReadDateText("2/29", true, common).has_value());
  EXPECT_FALSE(ReadDateText("29 Feb", false, common).has_value());
}

TEST(IConvDate, TimeOfDayIsCutOffExactly) {
  Functions f(true);
  // Close to midnight is still the same day.
  ExpectIConv(f, {{"7/6/2000 13:45", "D", 11876.0},
                  {"7/6/2000 23:59:59", "D", 11876.0},
                  {"July 6, 2000 11:59:59 pm", "D", 11876.0}});
  EXPECT_EQ(f.ErrorDetailFn(), "");
}

TEST(IConvDate, TextThatIsNoDateGivesNoDayNumber) {
  Functions us(true), eu(false);
  for (const char* s :
       {"abc", "12ab", "11876", "12.5", "13/13/2000", "2/30/2000", "7/6/2000 25:00", "13:45",
        "6 Jull 2000", "7/6-2000", "7//6/2000", "1/2/3/4", "-7/6/2000", "6 Jul Aug"}) {
    EXPECT_EQ(us.IConv(s, "D"), Variant("")) << s;
    EXPECT_EQ(us.ErrorDetailFn(), "[13] Type mismatch") << s;
  }
  EXPECT_EQ(eu.IConv("12/13/2000", "D"), Variant(""));
  EXPECT_EQ(us.IConv("", "D"), Variant(""));
  EXPECT_EQ(us.ErrorDetailFn(), "");
}

TEST(IConvJulian, YearAndDayOfYear) {
  Functions f(true);
  ExpectIConv(f, {{"2000188", "DJ", std::int32_t{11876}},
                  {"00188", "DJ", std::int32_t{11876}},
                  {"99001", "DJ", std::int32_t{11324}},
                  {"2000366", "DJ", std::int32_t{12054}}});
  EXPECT_EQ(f.OConv(f.IConv("001", "DJ").ToString(), "DJ"), Variant(ThisYear() + "001"));
  EXPECT_EQ(f.ErrorDetailFn(), "");
}

TEST(IConvJulian, OutOfRangeGivesTheNumberBack) {
  Functions f(true);
  for (const char* s : {"2000400", "2000000", "2001366", "2188", "12345678", "-12", "5"}) {
    EXPECT_EQ(f.IConv(s, "DJ"), Variant(std::stod(s))) << s;
    EXPECT_EQ(f.ErrorDetailFn(), "[950] Julian date value out of range") << s;
  }
  EXPECT_EQ(f.IConv("20x0188", "DJ"), Variant(""));
  EXPECT_EQ(f.ErrorDetailFn(), "[13] Type mismatch");
  EXPECT_EQ(f.IConv("2000abc", "DJ"), Variant(""));
}

// --- IConv: amounts --------------------------------------------------------------------

TEST(IConvAmount, LeadingNumberScaledAndRoundedHalfToEven) {
  Functions f(true);
  using L = std::int32_t;
  ExpectIConv(f, {{"0.125", "MD2", L{12}},
                  {"0.135", "MD2", L{14}},
                  {"1.015", "MR2", L{102}},
                  {"-5", "MR2", L{-500}},
                  {"12abc", "MR2", L{1200}},
                  {" - 1 2.5", "MR1", L{-125}},
                  {"abc", "MR2", L{0}},
                  {"1.5", "md12", L{15}},
                  {"1.5e2", "MR1", L{1500}},
                  {"&H10", "MR1", L{160}}});
  EXPECT_EQ(f.ErrorDetailFn(), "");
}

TEST(IConvAmount, ThousandsSeparatorsAreRead) {
  Functions f(true);
  EXPECT_EQ(f.IConv("1,234.56", "MR2"), Variant(std::int32_t{123456}));
  EXPECT_EQ(f.IConv(",5", "MR2"), Variant(std::int32_t{0}));
  // Every amount comes back from its own shown form.
  for (const char* v : {"0", "1", "-5", "99", "123456", "-123456789", "100000", "2147483647"}) {
    for (const char* code : {"MR2", "MR2,", "MR4,"}) {
      const std::string shown = f.OConv(v, code).ToString();
      const std::string mask(code, 3);
      EXPECT_EQ(f.IConv(shown, mask), Variant(std::stoi(v))) << v << ' ' << code;
    }
  }
}

TEST(IConvAmount, BeyondALongStaysExact) {
  Functions f(true);
  ExpectIConv(f, {{"30,000,000", "MR2", 3000000000.0},
                  {"-21474836.49", "MR2", -2147483649.0},
                  {"90071992547409.92", "MR2", 9007199254740992.0},
                  {"1e-999", "MR2", std::int32_t{0}}});
  EXPECT_EQ(f.ErrorDetailFn(), "");
  for (const char* s : {"90071992547409.93", "1e999"}) {
    EXPECT_EQ(f.IConv(s, "MR2"), Variant(s));
    EXPECT_EQ(f.ErrorDetailFn(), "[6] Overflow");
  }
}

TEST(IConvUnknown, OtherCodesGiveEmpty) {
  Functions f(true);
  EXPECT_EQ(f.IConv("abc", "X"), Variant());
  EXPECT_EQ(f.IConv("abc", "MCU"), Variant());
  EXPECT_EQ(f.IConv("", "X"), Variant(""));
}

// --- Multivalued -----------------------------------------------------------------------

TEST(MVConv, OConvEachValueJoinedByLineBreaks) {
  Functions f(true);
  EXPECT_EQ(f.MVOConv(Variant("1" + kVm + "2"), "D"), "01 Jan 1968\r\n02 Jan 1968");
  EXPECT_EQ(f.MVOConv(Variant("1" + kVm + kVm + "a1"), "MCN"), "1\r\n\r\n1");
  EXPECT_EQ(f.MVOConv(Variant("1234" + kVm + "x"), "MR"), "1234\r\n");
  EXPECT_EQ(f.MVOConv(Variant(std::int32_t{123456}), "MR2,"), "1,234.56");
  EXPECT_EQ(f.MVOConv(Variant::Null(), "D"), "");
  EXPECT_EQ(f.MVOConv(Variant(), "MR2"), "");
  // The last value's message is the one left.
  EXPECT_EQ(f.MVOConv(Variant("1" + kVm + "12ab"), "D"), "01 Jan 1968\r\n12ab");
  EXPECT_EQ(f.ErrorDetailFn(), "[13] Type mismatch");
}

TEST(MVConv, IConvAcceptsLineBreaksOrValueMarks) {
  Functions f(true);
  EXPECT_EQ(f.MVIConv("1\r\n2", "MR2"), "100" + kVm + "200");
  EXPECT_EQ(f.MVIConv("1\r" + kVm + "\n", "MR2"), "100" + kVm + "0");
  EXPECT_EQ(f.MVIConv("1" + kVm + "x", "X"), kVm);
  EXPECT_EQ(f.MVIConv("1/1/1968\r\n7/6/2000", "D"), "1" + kVm + "11876");
  EXPECT_EQ(f.MVIConv("50,000,000,000", "MR2"), "5000000000000");
  EXPECT_EQ(f.MVIConv("", "MR2"), "");
}

}  // namespace
}  // namespace orvik
