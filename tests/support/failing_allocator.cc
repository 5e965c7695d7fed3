#include "failing_allocator.h"

#include <cstdlib>
#include <new>

namespace {
// Allocations still to go through before one fails; negative when disarmed.
long g_countdown = -1;
bool g_failed = false;
}  // namespace

void FailOneAllocationAfter(long skipped) {
  g_failed = false;
  g_countdown = skipped;
}

bool StopFailingAllocations() {
  g_countdown = -1;
  return g_failed;
}

void* operator new(std::size_t size) {
  if (g_countdown >= 0 && g_countdown-- == 0) {
    g_failed = true;
    throw std::bad_alloc();
  }
  void* memory = std::malloc(size == 0 ? 1 : size);
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}

void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
