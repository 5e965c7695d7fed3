#ifndef BREVON_BASE_TEXT_H_
#define BREVON_BASE_TEXT_H_

#include <cstddef>
#include <string>

// Text helpers. Case is folded for the ASCII letters A to Z only: a
// locale-aware comparison would fold letters such as U+017F (long s) onto
// ASCII ones, and the server's own character set is not the system's.

/// True for the ASCII letters A to Z and a to z, a drive's letter among them.
inline bool IsAsciiLetter(wchar_t c) {
  return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

/// True for CR and LF, in whatever order an editor left them.
inline bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

/// Makes a text from outside the tool (the registry, notes.ini, the server
/// library, a link file, the command line) fit to be quoted in a line of
/// the report: each CR and each LF becomes one blank, so that no quoted text
/// can end its line early or start one of its own, such as a forged total.
/// Other bytes stay; below 0x20 they may begin characters of the server's
/// other scripts.
void BlankLineBreaks(char* text, size_t length);
inline void BlankLineBreaks(std::string& text) { BlankLineBreaks(&text[0], text.size()); }

/// Equality of zero-terminated texts, folding only the ASCII letters.
bool EqualIgnoringAsciiCase(const char* a, const char* b);

/// Equality of `count` UTF-16 units, folding only the ASCII letters.
bool EqualIgnoringAsciiCase(const wchar_t* a, const wchar_t* b, size_t count);

/// Appends the UTF-8 form of `length` UTF-16 units of `text` to `out`, whole
/// whatever its length. May throw std::bad_alloc.
void AppendUtf8(const wchar_t* text, size_t length, std::string& out);

/// Appends the system's message for the error code `error` in UTF-8, fit to
/// be quoted in a line of the report: without its line end, other line
/// breaks as blanks; "error N" when the system has no message for it. May
/// throw std::bad_alloc.
void AppendSystemMessage(unsigned long error, std::string& out);

#endif  // BREVON_BASE_TEXT_H_
