// notes.ini: the environment the library offers, and the simulator's own
// Sim* settings that make it misbehave on purpose.

#include <cstring>

#include "sim.h"

namespace sim {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerCopy(const char* text, size_t length) {
  std::string out(text, length);
  for (char& c : out) c = Lower(c);
  return out;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Calls `visit(name, nameLength, value, valueLength)` for every Name=Value
// line; comments, blank lines and lines without '=' are passed over.
template <typename Visit>
void ForEachSetting(const char* data, size_t size, Visit visit) {
  const char* end = data + size;
  const char* line = data;
  while (line < end) {
    const char* lineEnd = static_cast<const char*>(memchr(line, '\n', end - line));
    if (!lineEnd) lineEnd = end;
    const char* next = lineEnd < end ? lineEnd + 1 : end;
    if (lineEnd > line && lineEnd[-1] == '\r') --lineEnd;
    while (line < lineEnd && IsBlank(*line)) ++line;
    if (line < lineEnd && *line != ';' && *line != '#') {
      const char* equals = static_cast<const char*>(memchr(line, '=', lineEnd - line));
      if (equals) {
        visit(line, static_cast<size_t>(equals - line), equals + 1,
              static_cast<size_t>(lineEnd - equals - 1));
      }
    }
    line = next;
  }
}

bool ParseStatus(const std::string& text, STATUS* status) {
  uint64_t value;
  if (!ParseNumber(text.data(), text.size(), &value) || value > 0xFFFF) return false;
  *status = static_cast<STATUS>(value);
  return true;
}

// "A:B" split at the first colon.
bool SplitPair(const std::string& value, std::string* first, std::string* second) {
  size_t colon = value.find(':');
  if (colon == std::string::npos) return false;
  *first = value.substr(0, colon);
  *second = value.substr(colon + 1);
  return true;
}

void ApplySimSetting(const std::string& name, const std::string& value, Settings* s) {
  uint64_t number;
  STATUS status;
  std::string a, b;
  auto isNumber = [&](const std::string& t) { return ParseNumber(t.data(), t.size(), &number); };
  auto once = [&](bool* has, STATUS* out) {
    if (!*has && ParseStatus(value, out)) *has = true;
  };
  if (name == "siminitstatus") {
    once(&s->hasInitStatus, &s->initStatus);
  } else if (name == "simdbopenstatus") {
    once(&s->hasDbOpenStatus, &s->dbOpenStatus);
  } else if (name == "simfinddesignnotestatus") {
    once(&s->hasFindDesignNoteStatus, &s->findDesignNoteStatus);
  } else if (name == "simopencollectionstatus") {
    once(&s->hasOpenCollectionStatus, &s->openCollectionStatus);
  } else if (name == "simclosecollectionstatus") {
    once(&s->hasCloseCollectionStatus, &s->closeCollectionStatus);
  } else if (name == "simdbclosestatus") {
    once(&s->hasDbCloseStatus, &s->dbCloseStatus);
  } else if (name == "simreadentriesstatus") {
    if (SplitPair(value, &a, &b) && isNumber(a) && ParseStatus(b, &status))
      s->readEntriesStatus.emplace(number, status);
  } else if (name == "simreadentriesnobuffer") {
    if (isNumber(value)) s->readEntriesNoBuffer.insert(number);
  } else if (name == "simlocknull") {
    if (isNumber(value)) s->lockNull.insert(number);
  } else if (name == "simnoteopenmicroseconds") {
    if (isNumber(value)) s->noteOpenMicroseconds = number;
  } else if (name == "simreadbatch") {
    if (isNumber(value) && number > 0)
      s->readBatch = static_cast<DWORD>(number < kMaxEntriesPerRead ? number : kMaxEntriesPerRead);
  } else if (name == "simreadnoprogress") {
    if (s->readNoProgress == 0 && isNumber(value)) s->readNoProgress = number;
  } else if (name == "simreademptyfrom") {
    if (s->readEmptyFrom == 0 && isNumber(value)) s->readEmptyFrom = number;
  } else if (name == "simneedprogramdirectory") {
    if (isNumber(value) && number != 0) s->needProgramDirectory = true;
  } else if (name == "simkeepfirstdirectory") {
    if (isNumber(value) && number != 0) s->keepFirstDirectory = true;
  } else if (name == "simnoteopenstatus") {
    if (SplitPair(value, &a, &b) && isNumber(a) && number <= 0xFFFFFFFFu &&
        ParseStatus(b, &status))
      s->noteOpenStatus.emplace(static_cast<NOTEID>(number), status);
  } else if (name == "simabbreviatestatus") {
    if (SplitPair(value, &a, &b) && ParseStatus(a, &status)) s->abbreviateStatus.emplace(b, status);
  } else if (name == "simstatustext") {
    if (SplitPair(value, &a, &b) && ParseStatus(a, &status)) {
      if (b.empty()) {
        s->statusTextRemoved.insert(status);
      } else {
        s->statusText.emplace(status, b);
      }
    }
  } else if (name == "simnextlibrary") {
    if (s->nextLibrary.empty()) s->nextLibrary = Widen(value);
  } else if (name == "simloadaddin") {
    if (s->addin.empty()) s->addin = Widen(value);
  } else if (name == "simdefaultdlldirectories") {
    if (isNumber(value) && number <= 0xFFFFFFFFu) s->defaultDllDirectories = static_cast<DWORD>(number);
  } else if (name == "simconsolehandler") {
    if (isNumber(value) && number != 0) s->consoleHandler = true;
  } else if (name == "simtermlogsoutput") {
    if (isNumber(value) && number != 0) s->termLogsOutput = true;
  } else if (name == "simallocationsfailfrom") {
    if (s->allocationsFailFrom == 0 && isNumber(value)) s->allocationsFailFrom = number;
  }
}

}  // namespace

bool ParseNumber(const char* text, size_t length, uint64_t* value) {
  while (length > 0 && IsBlank(*text)) ++text, --length;
  while (length > 0 && IsBlank(text[length - 1])) --length;
  if (length == 0) return false;
  uint64_t result = 0;
  if (length > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    if (length > 18) return false;
    for (size_t i = 2; i < length; ++i) {
      char c = Lower(text[i]);
      int digit;
      if (c >= '0' && c <= '9') {
        digit = c - '0';
      } else if (c >= 'a' && c <= 'f') {
        digit = c - 'a' + 10;
      } else {
        return false;
      }
      result = result * 16 + digit;
    }
  } else {
    if (length > 19) return false;
    for (size_t i = 0; i < length; ++i) {
      if (text[i] < '0' || text[i] > '9') return false;
      result = result * 10 + (text[i] - '0');
    }
  }
  *value = result;
  return true;
}

bool EqualsIgnoreCase(const char* a, size_t aLength, const char* b, size_t bLength) {
  if (aLength != bLength) return false;
  for (size_t i = 0; i < aLength; ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

bool ReadWholeFile(const std::wstring& path, std::unique_ptr<char[]>* data, size_t* size) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER fileSize;
  bool ok = GetFileSizeEx(file, &fileSize) && fileSize.QuadPart < 0xFFFFFFFFLL;
  if (ok) {
    size_t total = static_cast<size_t>(fileSize.QuadPart);
    // One spare byte so parsers may look one past the end.
    std::unique_ptr<char[]> buffer(new char[total + 1]);
    size_t done = 0;
    while (ok && done < total) {
      DWORD chunk = static_cast<DWORD>(total - done > (1u << 30) ? (1u << 30) : total - done);
      DWORD got = 0;
      ok = ReadFile(file, buffer.get() + done, chunk, &got, nullptr) && got > 0;
      done += got;
    }
    if (ok) {
      buffer[total] = '\0';
      *data = std::move(buffer);
      *size = total;
    }
  }
  CloseHandle(file);
  return ok;
}

std::wstring ResolvePath(const std::wstring& folder, const std::wstring& name) {
  bool absolute = (name.size() >= 2 && name[1] == L':') ||
                  (!name.empty() && (name[0] == L'\\' || name[0] == L'/'));
  if (absolute || folder.empty()) return name;
  std::wstring path = folder;
  if (path.back() != L'\\' && path.back() != L'/') path += L'\\';
  return path + name;
}

std::wstring Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                   nullptr, 0);
  std::wstring out(length, L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], length);
  return out;
}

std::wstring CurrentDirectory() {
  DWORD length = GetCurrentDirectoryW(0, nullptr);
  if (length == 0) return std::wstring();
  std::wstring out(length, L'\0');
  length = GetCurrentDirectoryW(length, &out[0]);
  out.resize(length);
  return out;
}

std::wstring EnvironmentVariable(const wchar_t* name) {
  DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return std::wstring();
  std::wstring out(size, L'\0');
  size = GetEnvironmentVariableW(name, &out[0], size);
  out.resize(size < out.size() ? size : 0);
  return out;
}

void ParseSettings(const char* data, size_t size, Settings* settings) {
  ForEachSetting(data, size, [&](const char* name, size_t nameLength, const char* value,
                                 size_t valueLength) {
    std::string key = LowerCopy(name, nameLength);
    std::string text(value, valueLength);
    settings->environment.emplace(key, text);
    if (key.compare(0, 3, "sim") == 0) ApplySimSetting(key, text, settings);
  });
}

void LoadSettings(const std::wstring& path, Settings* settings) {
  std::unique_ptr<char[]> data;
  size_t size = 0;
  if (ReadWholeFile(path, &data, &size)) ParseSettings(data.get(), size, settings);
}

bool RefuseLoadRequested(const std::wstring& path) {
  std::unique_ptr<char[]> data;
  size_t size = 0;
  if (!ReadWholeFile(path, &data, &size)) return false;
  bool refuse = false;
  ForEachSetting(data.get(), size, [&](const char* name, size_t nameLength, const char* value,
                                       size_t valueLength) {
    uint64_t number;
    if (EqualsIgnoreCase(name, nameLength, "SimRefuseLoad", 13) &&
        ParseNumber(value, valueLength, &number) && number != 0)
      refuse = true;
  });
  return refuse;
}

}  // namespace sim
