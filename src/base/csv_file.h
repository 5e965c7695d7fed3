#ifndef BREVON_BASE_CSV_FILE_H_
#define BREVON_BASE_CSV_FILE_H_

#include <windows.h>

#include <cstddef>

// A CSV file that a spreadsheet opens as it stands: UTF-8 with a byte-order
// mark (so that a file opened by double-click is read as UTF-8), fields
// separated by commas, rows ended by CR LF. A field that holds a comma, a
// double quote, a CR or an LF is enclosed in double quotes, each double
// quote inside doubled. A field that begins with "=", "+", "-", "@", a tab
// or a CR would be taken for a formula: it gets an apostrophe in front and
// is quoted, so it shows as the text it is.
//
// Rows go out through the file's fixed buffer: writing allocates nothing,
// and the file's size never grows the process's memory.
//
// The file is always new, and it is marked for removal from its creation
// on: it stays only when KeepCsvFile succeeds. A run that stops early, or a
// process that ends on the way, leaves no partial file that could be taken
// for a whole one.

constexpr size_t kCsvBufferBytes = 64 * 1024;

struct CsvFile {
  HANDLE handle = INVALID_HANDLE_VALUE;
  bool inRow = false;   // the row under way has a field: the next one needs a comma
  bool failed = false;  // a write failed: nothing more is written
  size_t used = 0;      // bytes of `buffer` not yet written
  char buffer[kCsvBufferBytes] = {};
};

/// Creates the file `name` for writing, marked for removal, with the
/// byte-order mark in its buffer. A file of that name is never touched.
/// False, with the system's error code in `error`, when it cannot be made.
bool CreateCsvFile(const wchar_t* name, CsvFile& file, DWORD& error);

/// Appends a field of `length` bytes of UTF-8 text to the row under way.
void WriteCsvField(CsvFile& file, const char* text, size_t length);
void WriteCsvField(CsvFile& file, const char* text);

/// Ends the row under way.
void EndCsvRow(CsvFile& file);

/// Writes what the buffer holds. False once any write to the file failed.
bool FlushCsvFile(CsvFile& file);

/// Writes the rest and closes the file, which stays. False when a write
/// failed or the file could not be kept: it is then removed.
bool KeepCsvFile(CsvFile& file);

/// Closes the file, which is removed. Nothing happens to a file not open.
void RemoveCsvFile(CsvFile& file);

#endif  // BREVON_BASE_CSV_FILE_H_
