#ifndef BREVON_BASE_PROGRESS_H_
#define BREVON_BASE_PROGRESS_H_

#include <cstddef>
#include <cstdint>

// A status line on standard error while a long phase of a partition runs,
// rewritten in place, so that an administrator at the console can tell a
// long census from a hung one. It is shown only when standard error is a
// console: scripts that redirect it see nothing of it. The report writer
// erases it before anything else is written (report_writer.h), so the
// report reads as without it.

enum class ProgressPhase {
  kCensus,     // persons read, and how many of them are on this mail server
  kInventory,  // folders searched, and databases found
};

/// Starts the phase; the line appears once it has run for about a second.
void BeginProgress(int partition, ProgressPhase phase);

/// Tells how far the phase is: `done` items so far, `found` of them found.
/// Cheap: the clock is read only every few dozen calls.
void AdvanceProgress(uint32_t done, uint32_t found);

/// Erases the line, if it is shown; the phase's next update shows it again.
/// The report writer calls it before everything it writes.
void ClearProgressLine();

/// Ends the phase and erases the line.
void EndProgress();

/// Where the line goes and what time it is. Tests put their own.
struct ProgressSeam {
  // True when the line may be shown; `*columns` is then the line's room.
  bool (*console)(int* columns);
  uint64_t (*milliseconds)();  // a clock that never goes back
  void (*write)(const char* text, size_t length);
};

/// Replaces the seam; null puts back standard error and the system's clock.
void SetProgressSeam(const ProgressSeam* seam);

#endif  // BREVON_BASE_PROGRESS_H_
