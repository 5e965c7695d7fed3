#ifndef BREVON_TESTS_SUPPORT_OPEN_HANDLES_H_
#define BREVON_TESTS_SUPPORT_OPEN_HANDLES_H_

#include <vector>

/// The values of the process's open handles among the first few thousand,
/// in order: what a test's code left open shows as a difference.
std::vector<unsigned long long> OpenHandles();

#endif  // BREVON_TESTS_SUPPORT_OPEN_HANDLES_H_
