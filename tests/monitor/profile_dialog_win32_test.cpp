#include "monitor/profile_dialog.h"

#include <gtest/gtest.h>

#include "tests/testing/failing_allocation.h"

namespace lumetra {
namespace {

TEST(RunMonitorProfileDialog, WithoutMemoryForTheDialogItReturnsAStatus) {
  Status status = kOk;
  bool threw = false;
  int refused = 0;
  {
    testing::FailingAllocations no_memory;
    try {
      status = RunMonitorProfileDialog();
    } catch (...) {
      threw = true;
    }
    refused = testing::FailingAllocations::Refused();
  }
  EXPECT_FALSE(threw) << "an exception left the dialog's start";
  EXPECT_EQ(status, kOutOfMemory);
  EXPECT_GT(refused, 0) << "no allocation was refused: the test shows nothing";
}

}  // namespace
}  // namespace lumetra
