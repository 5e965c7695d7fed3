#include "census/person_lines.h"

#include <cstring>

#include "base/text.h"
#include "notes/notes_text.h"

namespace {

// An item text holds at most 259 bytes in the server's character set; in
// UTF-8 one such byte never becomes more than four, so the translation of any
// item fits whole and is never cut inside a character.
constexpr size_t kTranslationSize = 4 * (kNotesTextSize - 1) + 4;

// A person line is one line of the report: no item may end it early, start
// another one or hide what follows. In UTF-8 text every control character
// stands for itself, so each becomes a blank. In the server's own character
// set, bytes below 0x20 also begin characters of other scripts; there only
// the line breaks are blanked.
bool IsControl(char c) { return (c > '\0' && c < ' ') || c == '\x7F'; }

// Appends `length` bytes of `text`, each that `blanked` picks as a blank.
void AppendBlanking(std::string& line, const char* text, size_t length, bool (*blanked)(char)) {
  size_t start = line.size();
  line.append(text, length);
  for (size_t i = start; i < line.size(); ++i) {
    if (blanked(line[i])) line[i] = ' ';
  }
}

void AppendNumber(std::string& line, int32_t number) {
  char digits[12];
  char* start = digits + sizeof(digits);
  // Works on the magnitude as unsigned so the smallest int32 is written too.
  uint32_t magnitude = number < 0 ? 0u - static_cast<uint32_t>(number) : static_cast<uint32_t>(number);
  do {
    *--start = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (number < 0) *--start = '-';
  line.append(start, static_cast<size_t>(digits + sizeof(digits) - start));
}

// Both forms begin alike: number, ShortName, MailFile, each followed by ", ".
// False when an item's text found no memory.
bool AppendLineStart(NotesHandle note, int32_t number, std::string& line) {
  AppendNumber(line, number);
  line.append(", ");
  bool whole = AppendItemText(note, "ShortName", line);
  line.append(", ");
  whole &= AppendItemText(note, "MailFile", line);
  line.append(", ");
  return whole;
}

// Adds the line under way to `lines`, noting the loss when an item of it
// found no memory.
void FinishPersonLine(ListingLines& lines, bool whole) {
  if (!whole) lines.NoteLoss();
  lines.FinishLine();
}

// A line that found no memory is left out; the census goes on.
void LeaveOutPersonLine(ListingLines& lines) {
  lines.DiscardLine();
  lines.NoteLoss();
}

}  // namespace

bool AppendItemText(NotesHandle note, const char* itemName, std::string& text) {
  try {
    char raw[kNotesTextSize];
    memset(raw, 0, sizeof(raw));
    uint16_t length = ReadItemText(note, itemName, raw);
    if (length == 0) {
      text.append(kNotAvailable);
      return true;
    }
    char translated[kTranslationSize];
    memset(translated, 0, sizeof(translated));
    uint16_t written = g_notes.OSTranslate(kTranslateLmbcsToUtf8, raw, length, translated,
                                           static_cast<uint16_t>(kTranslationSize - 1));
    if (written > kTranslationSize - 1) written = kTranslationSize - 1;
    // A zero byte inside the translation ends the text there.
    AppendBlanking(text, translated, strnlen(translated, written), IsControl);
    return true;
  } catch (...) {
    // The string keeps what it held: an append that throws changes nothing.
    return false;
  }
}

void AppendBasicPersonLine(NotesHandle note, ListingLines& lines, int32_t number,
                           const char* abbreviatedMailServer) {
  try {
    std::string& line = lines.StartLine();
    bool whole = AppendLineStart(note, number, line);
    if (abbreviatedMailServer == nullptr || abbreviatedMailServer[0] == '\0') {
      line.append(kNotAvailable);
    } else {
      AppendBlanking(line, abbreviatedMailServer, strnlen(abbreviatedMailServer, kNotesTextSize),
                     IsLineBreak);
    }
    FinishPersonLine(lines, whole);
  } catch (...) {
    LeaveOutPersonLine(lines);
  }
}

void AppendDetailedPersonLine(NotesHandle note, ListingLines& lines, int32_t number) {
  try {
    std::string& line = lines.StartLine();
    bool whole = AppendLineStart(note, number, line);

    std::string mailServer;
    whole &= AppendItemText(note, "MailServer", mailServer);
    char abbreviated[kNotesTextSize];
    memset(abbreviated, 0, sizeof(abbreviated));
    // A failure is not reported: the line shows what the call left.
    AbbreviateName(mailServer.c_str(), abbreviated);
    AppendBlanking(line, abbreviated, strlen(abbreviated), IsControl);
    line.append(" (");
    line.append(mailServer);
    line.append("), ");

    for (const char* item : {"MailDomain", "InternetAddress", "FullName", "$REF"}) {
      whole &= AppendItemText(note, item, line);
      line.append(", ");
    }
    whole &= AppendItemText(note, "Form", line);
    FinishPersonLine(lines, whole);
  } catch (...) {
    LeaveOutPersonLine(lines);
  }
}
