#include "open_handles.h"

#include <windows.h>

std::vector<unsigned long long> OpenHandles() {
  std::vector<unsigned long long> open;
  // Handle values are multiples of 4, the lowest free one taken first.
  for (unsigned long long value = 4; value < 4 * 2048; value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) open.push_back(value);
  }
  return open;
}
