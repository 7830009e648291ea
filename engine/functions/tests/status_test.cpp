#include "status.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace orvik {
namespace {

Status Caught(auto&& raise) {
  try {
    raise();
  } catch (...) {
    return Status::OfCurrentException();
  }
  return Status::Ok();
}

TEST(StatusTest, SuccessHasNoTextAndFailuresTheirNumberedMessage) {
  EXPECT_TRUE(Status().ok());
  EXPECT_EQ(Status::Ok().Message(), "");
  EXPECT_FALSE(Status::Ok().Is(0));

  const Status locked = Status::Error(920, "Another user has this item locked");
  EXPECT_FALSE(locked.ok());
  EXPECT_TRUE(locked.Is(920));
  EXPECT_FALSE(locked.Is(912));
  EXPECT_FALSE(locked.IsWarning());
  EXPECT_EQ(locked.Message(), "[920] Another user has this item locked");
  // Raised, it is the same error, and it comes back as the same status.
  EXPECT_EQ(Status::Of(locked.ToError()).Message(), locked.Message());
  EXPECT_EQ(locked.With(" in ConIDMySQL").Message(),
            "[920] Another user has this item locked in ConIDMySQL");
}

TEST(StatusTest, ARefusalWithoutAReasonIsNoSuccessAndHasNoText) {
  const Status refused = Status::Refused();
  EXPECT_FALSE(refused.ok());
  EXPECT_EQ(refused.Message(), "");
  EXPECT_EQ(refused.number(), 0);
}

TEST(StatusTest, AWarningIsNoSuccessAndSaysSo) {
  const Status rationed = Status::Warning(921, "output rationed");
  EXPECT_FALSE(rationed.ok());
  EXPECT_TRUE(rationed.IsWarning());
  EXPECT_EQ(rationed.Message(), "WARNING: [921] output rationed");
}

TEST(StatusTest, TheExceptionBeingHandledKeepsItsNumber) {
  EXPECT_EQ(Caught([] { throw VbError(-2147217865, "no such table"); }).Message(),
            "[-2147217865] no such table");
  EXPECT_EQ(Caught([] { throw VbError(vberr::kTypeMismatch); }).Message(), "[13] Type mismatch");
  EXPECT_EQ(Caught([] { throw std::bad_alloc(); }).number(), vberr::kOutOfMemory);
  EXPECT_EQ(Caught([] { throw std::length_error("long"); }).number(), vberr::kOutOfStringSpace);
  EXPECT_EQ(Caught([] { throw std::runtime_error("odd"); }).Message(), "[440] odd");
  EXPECT_EQ(Caught([] { throw 7; }).Message(), "[440] Automation error");
  // The message form the engine has always written is the status's own.
  try {
    throw VbError(91);
  } catch (...) {
    EXPECT_EQ(CurrentExceptionMessage(), Status::OfCurrentException().Message());
  }
}

}  // namespace
}  // namespace orvik
