#include "base/report_writer.h"

#include <fcntl.h>
#include <io.h>

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

// The blocks already hold the indent and the CR LF, so they are written as
// they stand, in binary mode: text mode would scan every byte for line feeds
// and hand the text to the system in small pieces.
bool PrintLines(const ListingLines& lines) {
  ClearProgressLine();
  fflush(stdout);
  int previousMode = _setmode(_fileno(stdout), _O_BINARY);
  bool whole = true;
  for (size_t i = 0; i < lines.BlockCount(); ++i) {
    if (i > 0 && StopRequested()) {
      whole = false;
      break;
    }
    std::string_view block = lines.Block(i);
    fwrite(block.data(), 1, block.size(), stdout);
  }
  fflush(stdout);
  if (previousMode != -1) _setmode(_fileno(stdout), previousMode);
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
  if (fflush(stdout) == 0 && !ferror(stdout)) return true;
  ClearProgressLine();
  fprintf(stderr, "Error: unable to write the report.\n");
  return false;
}
