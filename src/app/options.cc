#include "app/options.h"

#include <cstring>
#include <cwchar>

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// The program's name ends at the next double quote when it starts with
// one, otherwise at the first blank; a backslash is a plain character in it.
const wchar_t* SkipProgramName(const wchar_t* at) {
  if (*at != L'"') {
    while (*at != L'\0' && !IsBlank(*at)) ++at;
    return at;
  }
  ++at;
  while (*at != L'\0' && *at != L'"') ++at;
  return *at == L'"' ? at + 1 : at;
}

// Copies the argument that starts at `at` into `argument`
// (kCommandLineChars) as the C runtime reads it for argv, and returns where
// it ends. Outside double quotes a blank or tab ends it. 2n backslashes
// before a double quote stand for n, and the quote opens or closes quoting;
// 2n+1 stand for n and a literal quote; inside quotes two double quotes
// stand for one.
const wchar_t* ReadArgument(const wchar_t* at, wchar_t* argument) {
  size_t length = 0;
  bool quoted = false;
  for (;;) {
    size_t backslashes = 0;
    while (*at == L'\\') {
      ++at;
      ++backslashes;
    }
    bool literal = true;
    if (*at == L'"') {
      if (backslashes % 2 == 0) {
        if (quoted && at[1] == L'"') {
          ++at;
        } else {
          literal = false;
          quoted = !quoted;
        }
      }
      backslashes /= 2;
    }
    for (; backslashes > 0 && length < kCommandLineChars - 1; --backslashes) {
      argument[length++] = L'\\';
    }
    if (*at == L'\0' || (!quoted && IsBlank(*at))) break;
    if (literal && length < kCommandLineChars - 1) argument[length++] = *at;
    ++at;
  }
  argument[length] = L'\0';
  return at;
}

}  // namespace

void ParseArguments(int argc, char** argv, ReportOptions* options, bool* help) {
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (argument == nullptr) continue;
    if (strcmp(argument, "/names") == 0) options->names = true;
    if (strcmp(argument, "/details") == 0) options->details = true;
    if (strcmp(argument, "/help") == 0) *help = true;
    if (strcmp(argument, "/?") == 0) *help = true;
  }
}

void FindPersonListRequest(const wchar_t* commandLine, PersonListRequest* request) {
  if (commandLine == nullptr) return;
  wchar_t argument[kCommandLineChars];
  memset(argument, 0, sizeof(argument));
  const wchar_t* at = SkipProgramName(commandLine);
  for (;;) {
    while (IsBlank(*at)) ++at;
    if (*at == L'\0') return;
    at = ReadArgument(at, argument);
    if (wcscmp(argument, L"/csv") == 0 || wcscmp(argument, L"/csv:") == 0) {
      request->nameMissing = true;
    } else if (wcsncmp(argument, L"/csv:", 5) == 0) {
      wcscpy(request->name, argument + 5);
    }
  }
}
