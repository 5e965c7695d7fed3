#include "base/text.h"

#include <windows.h>

#include <cstring>

namespace {

template <typename Char>
Char FoldAscii(Char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<Char>(c - 'a' + 'A') : c;
}

}  // namespace

bool EqualIgnoringAsciiCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    if (FoldAscii(*a) != FoldAscii(*b)) return false;
    if (*a == '\0') return true;
  }
}

bool EqualIgnoringAsciiCase(const wchar_t* a, const wchar_t* b, size_t count) {
  for (size_t k = 0; k < count; ++k) {
    if (FoldAscii(a[k]) != FoldAscii(b[k])) return false;
  }
  return true;
}

void BlankLineBreaks(char* text, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (IsLineBreak(text[i])) text[i] = ' ';
  }
}

// A UTF-16 unit takes at most 3 bytes (an unpaired surrogate becomes
// U+FFFD), so converting into 3 bytes per unit never cuts anything.
void AppendUtf8(const wchar_t* text, size_t length, std::string& out) {
  if (length == 0) return;
  size_t start = out.size();
  out.resize(start + length * 3);
  int written = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), &out[start],
                                    static_cast<int>(length * 3), nullptr, nullptr);
  out.resize(start + (written > 0 ? static_cast<size_t>(written) : 0));
}


void AppendSystemMessage(unsigned long error, std::string& out) {
  wchar_t message[512];
  memset(message, 0, sizeof(message));
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, error, 0, message, 511, nullptr);
  while (length > 0 && (message[length - 1] == L'\r' || message[length - 1] == L'\n' ||
                        message[length - 1] == L' ')) {
    --length;
  }
  if (length == 0) {
    out.append("error ").append(std::to_string(error));
    return;
  }
  size_t start = out.size();
  AppendUtf8(message, length, out);
  BlankLineBreaks(&out[start], out.size() - start);
}
