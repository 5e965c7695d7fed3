#include "base/csv_file.h"

#include <cstring>

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

// Marks the open file for removal when its handle is closed, or takes the
// mark back.
bool MarkForRemoval(HANDLE handle, bool remove) {
  FILE_DISPOSITION_INFO disposition;
  memset(&disposition, 0, sizeof(disposition));
  disposition.DeleteFile = remove ? TRUE : FALSE;
  return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                    sizeof(disposition)) != FALSE;
}

// Appends to the buffer, writing it out whenever it is full.
void Put(CsvFile& file, const char* text, size_t length) {
  while (length > 0) {
    if (file.used == kCsvBufferBytes) FlushCsvFile(file);
    size_t part = kCsvBufferBytes - file.used;
    if (part > length) part = length;
    memcpy(file.buffer + file.used, text, part);
    file.used += part;
    text += part;
    length -= part;
  }
}

bool StartsFormula(char c) {
  return c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r';
}

bool NeedsQuotes(const char* text, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    char c = text[i];
    if (c == ',' || c == '"' || c == '\r' || c == '\n') return true;
  }
  return false;
}

}  // namespace

bool CreateCsvFile(const wchar_t* name, CsvFile& file, DWORD& error) {
  // DELETE access lets the file be removed through its handle, whatever
  // the current directory has become by then.
  HANDLE handle = CreateFileW(name, GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = GetLastError();
    return false;
  }
  if (!MarkForRemoval(handle, true)) {
    // A file that could not be marked must not outlive a run that fails; it
    // is new and empty, and the current directory is still the one it was
    // made in.
    error = GetLastError();
    CloseHandle(handle);
    DeleteFileW(name);
    return false;
  }
  file.handle = handle;
  file.inRow = false;
  file.failed = false;
  file.used = 0;
  Put(file, kByteOrderMark, sizeof(kByteOrderMark) - 1);
  return true;
}

void WriteCsvField(CsvFile& file, const char* text, size_t length) {
  if (file.inRow) Put(file, ",", 1);
  file.inRow = true;
  bool guarded = length > 0 && StartsFormula(text[0]);
  if (!guarded && !NeedsQuotes(text, length)) {
    Put(file, text, length);
    return;
  }
  Put(file, guarded ? "\"'" : "\"", guarded ? 2 : 1);
  // Each double quote goes out twice: at the end of one piece and at the
  // start of the next.
  size_t start = 0;
  for (size_t i = 0; i < length; ++i) {
    if (text[i] != '"') continue;
    Put(file, text + start, i + 1 - start);
    start = i;
  }
  Put(file, text + start, length - start);
  Put(file, "\"", 1);
}

void WriteCsvField(CsvFile& file, const char* text) { WriteCsvField(file, text, strlen(text)); }

void EndCsvRow(CsvFile& file) {
  Put(file, "\r\n", 2);
  file.inRow = false;
}

bool FlushCsvFile(CsvFile& file) {
  const char* at = file.buffer;
  DWORD left = static_cast<DWORD>(file.used);
  file.used = 0;
  while (!file.failed && left > 0) {
    DWORD written = 0;
    if (!WriteFile(file.handle, at, left, &written, nullptr) || written == 0) {
      file.failed = true;
    }
    at += written;
    left -= written;
  }
  return !file.failed;
}

bool KeepCsvFile(CsvFile& file) {
  if (file.handle == INVALID_HANDLE_VALUE) return false;
  bool kept = FlushCsvFile(file) && MarkForRemoval(file.handle, false);
  CloseHandle(file.handle);
  file.handle = INVALID_HANDLE_VALUE;
  return kept;
}

void RemoveCsvFile(CsvFile& file) {
  if (file.handle == INVALID_HANDLE_VALUE) return;
  CloseHandle(file.handle);
  file.handle = INVALID_HANDLE_VALUE;
}
