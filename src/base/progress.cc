#include "base/progress.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr uint64_t kQuietMilliseconds = 1000;  // short phases show nothing
constexpr uint64_t kRedrawMilliseconds = 200;  // at most five times a second
constexpr uint32_t kCallsPerClockRead = 32;

bool StandardErrorIsConsole(int* columns) {
  HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) {
    return false;
  }
  CONSOLE_SCREEN_BUFFER_INFO screen;
  *columns = 80;
  if (GetConsoleScreenBufferInfo(handle, &screen)) {
    *columns = screen.srWindow.Right - screen.srWindow.Left + 1;
  }
  return true;
}

uint64_t SystemMilliseconds() { return GetTickCount64(); }

void WriteStandardError(const char* text, size_t length) {
  fwrite(text, 1, length, stderr);
  fflush(stderr);
}

const ProgressSeam kSystemSeam = {StandardErrorIsConsole, SystemMilliseconds,
                                  WriteStandardError};

struct Progress {
  const ProgressSeam* seam = &kSystemSeam;
  bool active = false;  // a phase runs and standard error is a console
  int partition = 0;
  ProgressPhase phase = ProgressPhase::kCensus;
  size_t room = 0;  // the most the line may hold: one column less than the console
  uint64_t start = 0;
  uint64_t lastDrawn = 0;
  uint32_t calls = 0;
  size_t shown = 0;  // length of the line on the console, 0 when none
};

Progress g_progress;

// Overwrites the line with `text` (possibly empty) and leaves the cursor at
// the line's start, so that what follows is written from its first column.
void Draw(const char* text, size_t length) {
  char line[512];
  size_t width = length > g_progress.shown ? length : g_progress.shown;
  if (width > sizeof(line) - 2) width = sizeof(line) - 2;
  if (length > width) length = width;
  size_t at = 0;
  line[at++] = '\r';
  memcpy(line + at, text, length);
  memset(line + at + length, ' ', width - length);
  at += width;
  line[at++] = '\r';
  g_progress.seam->write(line, at);
  g_progress.shown = length;
}

void Show(uint32_t done, uint32_t found, uint64_t now) {
  uint64_t seconds = (now - g_progress.start) / 1000;
  const char* format =
      g_progress.phase == ProgressPhase::kCensus
          ? "Partition %d: counting, %lu persons read, %lu on this mail server, %lu:%02lu"
          : "Partition %d: listing, %lu folders searched, %lu databases, %lu:%02lu";
  char text[256];
  int length = snprintf(text, sizeof(text), format, g_progress.partition,
                        static_cast<unsigned long>(done), static_cast<unsigned long>(found),
                        static_cast<unsigned long>(seconds / 60),
                        static_cast<unsigned long>(seconds % 60));
  if (length < 0) return;
  size_t shown = static_cast<size_t>(length) < sizeof(text) ? length : sizeof(text) - 1;
  if (shown > g_progress.room) shown = g_progress.room;
  Draw(text, shown);
  g_progress.lastDrawn = now;
}

}  // namespace

void SetProgressSeam(const ProgressSeam* seam) {
  g_progress = Progress();
  g_progress.seam = seam != nullptr ? seam : &kSystemSeam;
}

void BeginProgress(int partition, ProgressPhase phase) {
  ClearProgressLine();
  int columns = 0;
  g_progress.active = g_progress.seam->console(&columns) && columns > 1;
  if (!g_progress.active) return;
  g_progress.partition = partition;
  g_progress.phase = phase;
  g_progress.room = static_cast<size_t>(columns - 1);
  g_progress.start = g_progress.seam->milliseconds();
  g_progress.lastDrawn = g_progress.start;
  g_progress.calls = 0;
}

void AdvanceProgress(uint32_t done, uint32_t found) {
  if (!g_progress.active || ++g_progress.calls % kCallsPerClockRead != 0) return;
  uint64_t now = g_progress.seam->milliseconds();
  if (now - g_progress.start < kQuietMilliseconds) return;
  if (now - g_progress.lastDrawn < kRedrawMilliseconds) return;
  Show(done, found, now);
}

void ClearProgressLine() {
  if (g_progress.shown != 0) Draw("", 0);
}

void EndProgress() {
  ClearProgressLine();
  g_progress.active = false;
}
