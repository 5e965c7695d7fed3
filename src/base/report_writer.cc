#include "base/report_writer.h"

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>

#include "base/progress.h"
#include "base/stop_request.h"

void WriteReport(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteReportList(format, args);
  va_end(args);
}

void WriteReportList(const char* format, va_list args) {
  ClearProgressLine();
  vprintf(format, args);
}

// The report prints each line as "  %s\n" in text mode, which writes the
// line end as CR LF; lists made here hold exactly that text.
ListingLines ReportLines() { return ListingLines::Framed("  ", "\r\n"); }

namespace {

// Set when a block of lines did not reach standard output whole: those bytes
// bypass the stream, so its error flag cannot tell.
bool g_linesUnwritten = false;

// Writes `text` to descriptor `fd` in as few calls as the system takes.
bool WriteWhole(int fd, std::string_view text) {
  while (!text.empty()) {
    // The C library counts in int.
    unsigned piece = static_cast<unsigned>(std::min<size_t>(text.size(), 1u << 30));
    int written = _write(fd, text.data(), piece);
    if (written <= 0) return false;
    text.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

}  // namespace

// The blocks already hold the indent and the CR LF, so each goes out as it
// stands, in binary mode and in one write to the descriptor: text mode would
// scan every byte for line feeds, and the stream, when standard output is
// unbuffered (a console, NUL), writes what a block holds beyond a multiple
// of its buffer size one byte per call.
bool PrintLines(const ListingLines& lines) {
  ClearProgressLine();
  fflush(stdout);
  int fd = _fileno(stdout);
  int previousMode = _setmode(fd, _O_BINARY);
  bool whole = true;
  for (size_t i = 0; i < lines.BlockCount() && !g_linesUnwritten; ++i) {
    if (i > 0 && StopRequested()) {
      whole = false;
      break;
    }
    if (!WriteWhole(fd, lines.Block(i))) g_linesUnwritten = true;
  }
  if (previousMode != -1) _setmode(fd, previousMode);
  return whole;
}

void WriteServerText(const char* text) {
  // Redirected standard output is buffered and standard error is not: flush
  // so the server's text follows the line it belongs to.
  fflush(stdout);
  ClearProgressLine();
  fprintf(stderr, "%s\n", text);
}

bool CheckReportWritten() {
  // Standard output on a character device may be unbuffered: then fflush
  // has nothing to write, and only the stream's error flag tells.
  if (fflush(stdout) == 0 && !ferror(stdout) && !g_linesUnwritten) return true;
  ClearProgressLine();
  fprintf(stderr, "Error: unable to write the report.\n");
  return false;
}

void ForgetUnwrittenLines() { g_linesUnwritten = false; }
