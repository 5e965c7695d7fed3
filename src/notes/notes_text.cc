#include "notes/notes_text.h"

#include <cstdarg>
#include <cstring>

#include "base/error_report.h"
#include "base/report_writer.h"
#include "base/text.h"

bool ReadEnvironment(const char* name, char* value) {
  memset(value, 0, kNotesTextSize);
  // The library's length excludes the terminating zero.
  BOOL found = g_notes.OSGetEnvironmentString(name, value, kNotesTextSize - 1);
  value[kNotesTextSize - 1] = '\0';
  return found != FALSE;
}

NotesStatus AbbreviateName(const char* name, char* abbreviated) {
  uint16_t length = 0;
  NotesStatus status = g_notes.DNAbbreviate(kAbbreviateIncludeAll, nullptr, name, abbreviated,
                                            kNotesTextSize, &length);
  abbreviated[kNotesTextSize - 1] = '\0';
  return status;
}

uint16_t ReadItemText(NotesHandle note, const char* item, char* text) {
  uint16_t length = g_notes.NSFItemGetText(note, item, text, kNotesTextSize);
  text[kNotesTextSize - 1] = '\0';
  return length < kNotesTextSize ? length : kNotesTextSize - 1;
}

size_t TranslateToUtf8(const char* text, uint16_t length, char* utf8) {
  memset(utf8, 0, kUtf8TextSize);
  uint16_t written = g_notes.OSTranslate(kTranslateLmbcsToUtf8, text, length, utf8,
                                         static_cast<uint16_t>(kUtf8TextSize - 1));
  if (written > kUtf8TextSize - 1) written = kUtf8TextSize - 1;
  return strnlen(utf8, written);
}

void PrintStatusText(NotesStatus status) {
  try {
    char text[512];
    memset(text, 0, sizeof(text));
    // The library's length excludes the terminating zero.
    if (g_notes.OSLoadString != nullptr) {
      g_notes.OSLoadString(nullptr, status & kStatusCodeMask, text, sizeof(text) - 1);
    }
    text[sizeof(text) - 1] = '\0';
    // One line of standard error, whatever the text holds.
    BlankLineBreaks(text, strlen(text));
    WriteServerText(text);
  } catch (...) {
  }
}

void ReportStatusError(NotesStatus status, const char* format, ...) {
  va_list args;
  va_start(args, format);
  ReportErrorList(format, args);
  va_end(args);
  PrintStatusText(status);
}
