#include <gtest/gtest.h>

#include "error_number.h"
#include "functions.h"
#include "vb_error.h"

namespace orvik {
namespace {

using test_support::ErrorNumber;

TEST(FunctionsByName, NamesIgnoreCaseAndArgumentsConvert) {
  Functions f(true);
  Variant args[] = {Variant("a,b,c"), Variant(","), Variant("2")};
  EXPECT_EQ(f.Call("FIELD", args).ToString(), "b");
  EXPECT_EQ(f.Call("col1", {}).ToLong(), 2);
  Variant dc[] = {Variant("a,b"), Variant(",")};
  EXPECT_EQ(f.Call("DCount", dc).ToLong(), 2);
}

TEST(FunctionsByName, Properties) {
  Functions f(true);
  f.Let("RReplaceSafety", Variant(true));
  EXPECT_TRUE(f.RReplaceSafety());
  EXPECT_TRUE(f.Get("rreplacesafety").ToBoolean());
  f.Let("ErrorDetailFn", Variant("x"));
  EXPECT_EQ(f.Get("ErrorDetailFn").ToString(), "x");
  f.Let("InsertSafety", Variant("True"));
  EXPECT_TRUE(f.InsertSafety());
}

TEST(FunctionsByName, ArgumentErrors) {
  Functions f(true);
  EXPECT_EQ(ErrorNumber([&] { f.Call("NoSuchThing", {}); }), vberr::kNoSuchMember);
  Variant one[] = {Variant("a")};
  EXPECT_EQ(ErrorNumber([&] { f.Call("Field", one); }), vberr::kWrongArgumentCount);
  Variant bad[] = {Variant("a"), Variant(","), Variant("x")};
  EXPECT_EQ(ErrorNumber([&] { f.Call("Field", bad); }), vberr::kTypeMismatch);
  Variant missing[] = {Variant("a"), Variant::Missing(), Variant(1)};
  EXPECT_EQ(ErrorNumber([&] { f.Call("Field", missing); }), vberr::kArgumentNotOptional);
  EXPECT_EQ(ErrorNumber([&] { f.Let("Col1", Variant(3)); }), vberr::kNoSuchMember);
}

TEST(FunctionsByName, EveryMemberIsReachable) {
  Functions f(true);
  for (const char* name :
       {"ErrorDetailFn", "PropertyParse", "SegmentReplace", "Sleep",        "DCount",  "Field",
        "Extract",       "RReplace",      "Insert",         "Locate",       "Col1",    "Col2",
        "Num",           "OConv",         "Index",          "Matches",      "IConv",   "MVR",
        "MVW",           "MVOConv",       "MVIConv",        "Dylete",       "Alpha",   "Seq",
        "SStr",          "Fmt",           "RReplaceSafety", "InsertSafety", "CConvert"}) {
    // An argument-count error proves the name was found; only 438 would mean it was not.
    const int err = ErrorNumber([&] {
      Variant tooMany[8];
      f.Call(name, tooMany);
    });
    EXPECT_NE(err, vberr::kNoSuchMember) << name;
  }
}

}  // namespace
}  // namespace orvik
