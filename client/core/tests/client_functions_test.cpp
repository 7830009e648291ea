// The function library as the client uses it.

#include "client_functions.h"

#include <gtest/gtest.h>

#include "date_order.h"

namespace orvik::client {
namespace {

TEST(ClientFunctionsTest, DateOrderComesFromTheProbe) {
  SetDateOrderOverride(false);
  EXPECT_FALSE(MakeClientFunctions()->MonthFirst());
  SetDateOrderOverride(true);
  EXPECT_TRUE(MakeClientFunctions()->MonthFirst());
  SetDateOrderOverride(std::nullopt);
}

TEST(ClientFunctionsTest, RReplaceStoresAttributeMarksWithoutASafetyCheck) {
  auto fns = MakeClientFunctions();
  EXPECT_EQ(fns->RReplace("A\xFE"
                          "B",
                          2, Variant("X\xFEY")),
            "A\xFEX\xFEY");
}

}  // namespace
}  // namespace orvik::client
