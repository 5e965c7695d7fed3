#include "app/report.h"

#include <cstdarg>
#include <cstdio>

namespace {
bool g_error_reported = false;
}  // namespace

void ReportError(const char* format, ...) {
  g_error_reported = true;
  va_list args;
  va_start(args, format);
  vprintf(format, args);
  va_end(args);
}

bool ErrorWasReported() { return g_error_reported; }

void ResetErrorReport() { g_error_reported = false; }
