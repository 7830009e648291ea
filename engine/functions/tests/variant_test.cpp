#include "variant.h"

#include <gtest/gtest.h>

#include <cmath>

#include "error_number.h"
#include "numbers.h"
#include "vb_error.h"

namespace orvik {
namespace {

using test_support::ErrorNumber;

TEST(VariantToLong, RoundsHalvesToEven) {
  EXPECT_EQ(Variant(0.5).ToLong(), 0);
  EXPECT_EQ(Variant(1.5).ToLong(), 2);
  EXPECT_EQ(Variant(2.5).ToLong(), 2);
  EXPECT_EQ(Variant(-2.5).ToLong(), -2);
  EXPECT_EQ(Variant(-3.5).ToLong(), -4);
  EXPECT_EQ(Variant(2.5000001).ToLong(), 3);
  EXPECT_EQ(Variant("12.5").ToLong(), 12);
  EXPECT_EQ(Variant("13.5").ToLong(), 14);
}

TEST(VariantToLong, RangeAndTypeErrors) {
  EXPECT_EQ(Variant(2147483647.0).ToLong(), 2147483647);
  EXPECT_EQ(Variant(-2147483648.0).ToLong(), -2147483647 - 1);
  EXPECT_EQ(ErrorNumber([] { Variant(2147483647.5).ToLong(); }), vberr::kOverflow);
  EXPECT_EQ(ErrorNumber([] { Variant("3000000000").ToLong(); }), vberr::kOverflow);
  EXPECT_EQ(ErrorNumber([] { Variant("12ab").ToLong(); }), vberr::kTypeMismatch);
  EXPECT_EQ(ErrorNumber([] { Variant("").ToLong(); }), vberr::kTypeMismatch);
  EXPECT_EQ(ErrorNumber([] { Variant::Null().ToLong(); }), vberr::kInvalidUseOfNull);
  EXPECT_EQ(Variant().ToLong(), 0);
  EXPECT_EQ(Variant(true).ToLong(), -1);
  EXPECT_EQ(ErrorNumber([] { Variant(40000).ToInteger(); }), vberr::kOverflow);
  EXPECT_EQ(Variant(-32768).ToInteger(), -32768);
}

TEST(VariantToString, DoublesUseFifteenSignificantDigits) {
  EXPECT_EQ(Variant(0.1).ToString(), "0.1");
  EXPECT_EQ(Variant(1.0 / 3.0).ToString(), "0.333333333333333");
  EXPECT_EQ(Variant(2.0 / 3.0).ToString(), "0.666666666666667");
  EXPECT_EQ(Variant(0.1 + 0.2).ToString(), "0.3");
  EXPECT_EQ(Variant(100.0).ToString(), "100");
  EXPECT_EQ(Variant(-12.5).ToString(), "-12.5");
  EXPECT_EQ(Variant(123456789012345.0).ToString(), "123456789012345");
  EXPECT_EQ(Variant(1e15).ToString(), "1E+15");
  EXPECT_EQ(Variant(1234567890123456789.0).ToString(), "1.23456789012346E+18");
  EXPECT_EQ(Variant(0.000001).ToString(), "0.000001");
  EXPECT_EQ(Variant(0.00000015).ToString(), "1.5E-07");
  EXPECT_EQ(Variant(-1e-10).ToString(), "-1E-10");
}

TEST(VariantToString, OtherTypes) {
  EXPECT_EQ(Variant(true).ToString(), "True");
  EXPECT_EQ(Variant(false).ToString(), "False");
  EXPECT_EQ(Variant(-42).ToString(), "-42");
  EXPECT_EQ(Variant().ToString(), "");
  EXPECT_EQ(Variant::Date(36713.0).ToString(), "7/6/2000");
  EXPECT_EQ(Variant::Date(36713.75).ToString(), "7/6/2000 6:00:00 PM");
  EXPECT_EQ(ErrorNumber([] { Variant::Null().ToString(); }), vberr::kInvalidUseOfNull);
}

// A script may hand over a Date that is any double at all: one that names no day is an
// overflow, not a date made up from undefined arithmetic.
TEST(VariantToString, DateBeyondTheCalendarIsAnOverflow) {
  for (double serial : {std::nan(""), HUGE_VAL, -HUGE_VAL, 1e300, -1e300, 1e17}) {
    EXPECT_EQ(ErrorNumber([serial] { Variant::Date(serial).ToString(); }), vberr::kOverflow)
        << serial;
  }
  // The far days the calendar still holds are written out.
  EXPECT_EQ(Variant::Date(-657434.0).ToString(), "1/1/100");
  EXPECT_EQ(Variant::Date(2958465.5).ToString(), "12/31/9999 12:00:00 PM");
  EXPECT_EQ(Variant::Date(1e15).ToString(), "7/2/2737907008888");
}

TEST(VariantToDouble, TextFollowsTheNumericRules) {
  EXPECT_DOUBLE_EQ(Variant(" 1,234.5 ").ToDouble(), 1234.5);
  EXPECT_DOUBLE_EQ(Variant("-1.5E3").ToDouble(), -1500.0);
  EXPECT_DOUBLE_EQ(Variant("2D2").ToDouble(), 200.0);
  EXPECT_DOUBLE_EQ(Variant("&HFF").ToDouble(), 255.0);
  EXPECT_DOUBLE_EQ(Variant("&HFFFF").ToDouble(), -1.0);
  EXPECT_DOUBLE_EQ(Variant("&O17").ToDouble(), 15.0);
  EXPECT_DOUBLE_EQ(Variant(".5").ToDouble(), 0.5);
  EXPECT_EQ(ErrorNumber([] { Variant("1.2.3").ToDouble(); }), vberr::kTypeMismatch);
  EXPECT_EQ(ErrorNumber([] { Variant("1e").ToDouble(); }), vberr::kTypeMismatch);
  EXPECT_EQ(ErrorNumber([] { Variant(",5").ToDouble(); }), vberr::kTypeMismatch);
}

TEST(VariantToBoolean, AcceptsWordsAndNumbers) {
  EXPECT_TRUE(Variant("true").ToBoolean());
  EXPECT_FALSE(Variant("FALSE").ToBoolean());
  EXPECT_TRUE(Variant("-1").ToBoolean());
  EXPECT_FALSE(Variant("0").ToBoolean());
  EXPECT_EQ(ErrorNumber([] { Variant("yes").ToBoolean(); }), vberr::kTypeMismatch);
}

TEST(IsNumericTest, Kinds) {
  EXPECT_TRUE(IsNumeric(Variant("  42  ")));
  EXPECT_TRUE(IsNumeric(Variant("-0.5e-3")));
  EXPECT_TRUE(IsNumeric(Variant("1,000")));
  EXPECT_TRUE(IsNumeric(Variant()));
  EXPECT_TRUE(IsNumeric(Variant(3)));
  EXPECT_FALSE(IsNumeric(Variant("")));
  EXPECT_FALSE(IsNumeric(Variant("abc")));
  EXPECT_FALSE(IsNumeric(Variant("12ab")));
  EXPECT_FALSE(IsNumeric(Variant("-")));
  EXPECT_FALSE(IsNumeric(Variant::Null()));
}

TEST(ValTest, ReadsTheLeadingNumber) {
  EXPECT_DOUBLE_EQ(Val("  1 2 3abc"), 123.0);
  EXPECT_DOUBLE_EQ(Val("12.5.6"), 12.5);
  EXPECT_DOUBLE_EQ(Val("1,234"), 1.0);
  EXPECT_DOUBLE_EQ(Val("-3e2x"), -300.0);
  EXPECT_DOUBLE_EQ(Val("2e"), 2.0);
  EXPECT_DOUBLE_EQ(Val("&H10"), 16.0);
  EXPECT_DOUBLE_EQ(Val("&HFFFF"), -1.0);
  EXPECT_DOUBLE_EQ(Val("abc"), 0.0);
  EXPECT_DOUBLE_EQ(Val(""), 0.0);
}

TEST(VariantArrayTest, CopiesDoNotShareChanges) {
  Variant a(VariantArray{Variant(1), Variant("x")});
  Variant b = a;
  b.ArrayRef()[0] = Variant(2);
  EXPECT_EQ(a.ArrayRef()[0].ToLong(), 1);
  EXPECT_EQ(b.ArrayRef()[0].ToLong(), 2);
}

TEST(VbErrorTest, NumberedMessages) {
  EXPECT_EQ(VbError(13).Message(), "[13] Type mismatch");
  EXPECT_EQ(VbError(941, "RReplace safety violation").Message(), "[941] RReplace safety violation");
  EXPECT_EQ(VbError(6).description(), "Overflow");
  std::string caught;
  try {
    throw VbError(9);
  } catch (...) {
    caught = CurrentExceptionMessage();
  }
  EXPECT_EQ(caught, "[9] Subscript out of range");
}

}  // namespace
}  // namespace orvik
