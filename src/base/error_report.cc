#include "base/error_report.h"

#include <cstdarg>
#include <cstdio>

namespace {
unsigned g_reported_errors = 0;
}  // namespace

void ReportError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  ReportErrorList(format, args);
  va_end(args);
}

void ReportErrorList(const char* format, va_list args) {
  ++g_reported_errors;
  vprintf(format, args);
}

unsigned ReportedErrorCount() { return g_reported_errors; }
