#include "tests/testing/failing_allocation.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace lumetra::testing {

namespace {
std::atomic<int> failing{0};
std::atomic<int> refused{0};

void* Allocate(std::size_t size) {
  if (failing.load() > 0) {
    refused.fetch_add(1);
    return nullptr;
  }
  return std::malloc(size ? size : 1);
}
}  // namespace

FailingAllocations::FailingAllocations() {
  refused.store(0);
  failing.fetch_add(1);
}
FailingAllocations::~FailingAllocations() { failing.fetch_sub(1); }
int FailingAllocations::Refused() { return refused.load(); }

}  // namespace lumetra::testing

void* operator new(std::size_t size) {
  void* p = lumetra::testing::Allocate(size);
  if (!p) throw std::bad_alloc();
  return p;
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return lumetra::testing::Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return lumetra::testing::Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
