#ifndef BREVON_TESTS_SUPPORT_FAILING_ALLOCATOR_H_
#define BREVON_TESTS_SUPPORT_FAILING_ALLOCATOR_H_

// Replaces the program's operator new and delete (a test program that links
// this library gets them): while armed, the allocation that the countdown
// picks fails with std::bad_alloc, and every other one goes through. Test
// code sweeps the countdown over every allocation of the code under test:
//
//   for (long skipped = 0;; ++skipped) {
//     FailOneAllocationAfter(skipped);
//     ...the code under test...
//     bool failed = StopFailingAllocations();
//     ...expectations, outside the armed stretch...
//     if (!failed) break;  // past its last allocation
//   }

/// Makes the allocation after `skipped` more allocations fail, once.
void FailOneAllocationAfter(long skipped);

/// Disarms the countdown. Returns true when the picked allocation failed.
bool StopFailingAllocations();

#endif  // BREVON_TESTS_SUPPORT_FAILING_ALLOCATOR_H_
