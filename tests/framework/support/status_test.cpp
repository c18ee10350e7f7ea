#include "framework/support/status.h"

#include <gtest/gtest.h>

#include "framework/support/system_error.h"

namespace lumetra {
namespace {

TEST(StatusFromSystem, KeepsSystemErrorsNegatedAndFoldsTheRestInto21001) {
  EXPECT_EQ(StatusFromSystem(true), kOk);
  SetLastSystemError(5);
  EXPECT_EQ(StatusFromSystem(false), -5);
  SetLastSystemError(0);
  EXPECT_EQ(StatusFromSystem(false), kSystemCallFailed) << "a failure that gives no reason";
  SetLastSystemError(0x7FFE);
  EXPECT_EQ(StatusFromSystem(false), -0x7FFE);
  SetLastSystemError(0x7FFF);
  EXPECT_EQ(StatusFromSystem(false), kSystemCallFailed) << "would not survive negation in 16 bits";
  SetLastSystemError(0x80004005u);
  EXPECT_EQ(StatusFromSystem(false), kSystemCallFailed);
}

}  // namespace
}  // namespace lumetra
