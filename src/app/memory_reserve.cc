#include "app/memory_reserve.h"

#include <cstdlib>
#include <new>

namespace {

// Given back the first time an allocation finds no memory, so that what
// follows the failure (the exception itself, the partition's loss line, the
// library's termination) finds room.
constexpr size_t kReserveBytes = 256 * 1024;
void* g_reserve = nullptr;

void ReleaseReserve() {
  std::free(g_reserve);
  g_reserve = nullptr;
  // The next failure throws std::bad_alloc.
  std::set_new_handler(nullptr);
}

#if defined(__MINGW32__)
bool g_failNextMalloc = false;
#endif

}  // namespace

#if defined(__MINGW32__)
// Brevon.exe is linked with --wrap=malloc: every malloc of the program and
// of the C++ runtime linked into it comes here.
extern "C" void* __real_malloc(size_t size);
extern "C" void* __wrap_malloc(size_t size) {
  if (g_failNextMalloc) {
    g_failNextMalloc = false;
    return nullptr;
  }
  return __real_malloc(size);
}
#endif

void PrepareForMemoryExhaustion() {
  // The C++ runtime builds what an exception needs when the process throws
  // its first: the thread's exception state, the once-flag that guards it
  // and, when malloc fails for the exception itself, the mutex of its
  // emergency pool. Built then, under a full heap, each of them ends the
  // process (abort, access violation or endless recursion). One exception
  // now, whose malloc is made to fail, builds them all while there is room.
#if defined(__MINGW32__)
  g_failNextMalloc = true;
#endif
  try {
    throw 0;
  } catch (...) {
  }
#if defined(__MINGW32__)
  g_failNextMalloc = false;
#endif
  g_reserve = std::malloc(kReserveBytes);
  if (g_reserve != nullptr) std::set_new_handler(ReleaseReserve);
}
