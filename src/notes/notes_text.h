#ifndef BREVON_NOTES_NOTES_TEXT_H_
#define BREVON_NOTES_NOTES_TEXT_H_

#include <cstddef>
#include <cstdint>

#include "notes/notes_api.h"

// The server's texts cross into the tool through fixed buffers of
// kNotesTextSize bytes. Each call here passes the buffer's size the way the
// library documents it and terminates the text inside the buffer, whatever
// the library wrote. A buffer that the library may leave unwritten is
// prepared by the caller: zero-filled, or holding the text that stands for
// a missing one.

/// Size of every buffer for a text of the server: an environment value, a
/// name, an item's text (MAXENVVALUE, MAXUSERNAME and MAXPATH are 256).
constexpr uint16_t kNotesTextSize = 260;

/// Size of every buffer for the UTF-8 form of a server text: a byte of the
/// server's character set never becomes more than four bytes of UTF-8, so
/// the translation of any such text fits whole, never cut inside a
/// character.
constexpr size_t kUtf8TextSize = 4 * (kNotesTextSize - 1) + 4;

/// Reads the environment value `name` of the server's notes.ini into
/// `value` (kNotesTextSize bytes, zero-filled first). False when the
/// library has no such value; `value` is then empty.
bool ReadEnvironment(const char* name, char* value);

/// Abbreviates the canonical name `name` into `abbreviated` (kNotesTextSize
/// bytes, prepared by the caller) and returns the library's status.
NotesStatus AbbreviateName(const char* name, char* abbreviated);

/// Reads the text of item `item` of an open note into `text`
/// (kNotesTextSize bytes, prepared by the caller) and returns its length in
/// bytes, 0 when the item is absent or empty.
uint16_t ReadItemText(NotesHandle note, const char* item, char* text);

/// Translates `length` bytes (fewer than kNotesTextSize) of a text in the
/// server's character set into UTF-8 in `utf8` (kUtf8TextSize bytes),
/// zero-terminated, and returns the length. A zero byte in the translation
/// ends the text there.
size_t TranslateToUtf8(const char* text, uint16_t length, char* utf8);

/// Prints the server's text for `status` on standard error.
void PrintStatusText(NotesStatus status);

/// Prints one "Error: " line (printf-style) on standard output, then the
/// server's text for `status` on standard error.
void ReportStatusError(NotesStatus status, const char* format, ...);

#endif  // BREVON_NOTES_NOTES_TEXT_H_
