// Memory exhaustion on demand: while a FailingAllocations lives, every
// allocation through operator new in the test executable fails (std::bad_alloc,
// or null for the nothrow forms). The replacement operators live beside it and
// take effect in every executable that uses this class.
#pragma once

namespace lumetra::testing {

class FailingAllocations {
 public:
  FailingAllocations();
  ~FailingAllocations();
  FailingAllocations(const FailingAllocations&) = delete;
  FailingAllocations& operator=(const FailingAllocations&) = delete;

  // How many allocations were refused while this one lived.
  static int Refused();
};

}  // namespace lumetra::testing
