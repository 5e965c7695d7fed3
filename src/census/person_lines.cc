#include "census/person_lines.h"

#include <cstring>

namespace {

constexpr uint16_t kItemTextSize = 260;

// An item text holds at most 259 bytes in the server's character set; in
// UTF-8 one such byte never becomes more than four, so the translation of any
// item fits whole and is never cut inside a character.
constexpr size_t kTranslationSize = 4 * (kItemTextSize - 1) + 4;

constexpr uint16_t kAbbreviationSize = 260;

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

void AppendSeparator(std::string& line) { AppendFew(line, ", "); }

// Both forms begin alike: number, ShortName, MailFile, each followed by ", ".
void AppendLineStart(NotesHandle note, int32_t number, std::string& line) {
  AppendNumber(line, number);
  AppendSeparator(line);
  AppendItemText(note, "ShortName", line);
  AppendSeparator(line);
  AppendItemText(note, "MailFile", line);
  AppendSeparator(line);
}

}  // namespace

void AppendItemText(NotesHandle note, const char* itemName, std::string& text) {
  try {
    char raw[kItemTextSize];
    memset(raw, 0, sizeof(raw));
    uint16_t length = g_notes.NSFItemGetText(note, itemName, raw, kItemTextSize);
    if (length == 0) {
      AppendFew(text, "NA");
      return;
    }
    if (length > kItemTextSize - 1) length = kItemTextSize - 1;

    // Translated straight into the text's zero-filled tail, which is then cut
    // back to what the translation holds: no copy of its own.
    size_t start = text.size();
    text.resize(start + kTranslationSize);
    char* translated = &text[start];
    uint16_t written = g_notes.OSTranslate(kTranslateLmbcsToUtf8, raw, length, translated,
                                           static_cast<uint16_t>(kTranslationSize - 1));
    if (written > kTranslationSize - 1) written = kTranslationSize - 1;
    // A zero byte inside the translation ends the text there.
    text.resize(start + strnlen(translated, written));
  } catch (...) {
    // The string keeps what it held: a resize or append that throws changes
    // nothing.
  }
}

void AppendBasicPersonLine(NotesHandle note, ListingLines& lines, int32_t number,
                           const char* abbreviatedMailServer) {
  try {
    std::string& line = lines.StartLine();
    AppendLineStart(note, number, line);
    if (abbreviatedMailServer == nullptr || abbreviatedMailServer[0] == '\0') {
      AppendFew(line, "NA");
    } else {
      line.append(abbreviatedMailServer, strnlen(abbreviatedMailServer, kItemTextSize));
    }
    lines.FinishLine();
  } catch (...) {
    // The unfinished line is dropped; the census goes on.
    lines.DiscardLine();
  }
}

void AppendDetailedPersonLine(NotesHandle note, ListingLines& lines, int32_t number) {
  try {
    std::string& line = lines.StartLine();
    AppendLineStart(note, number, line);

    // The mail server's text is read through the line itself and moved into
    // a fixed buffer, which the abbreviation then reads.
    char mailServer[kTranslationSize + 1];
    memset(mailServer, 0, sizeof(mailServer));
    size_t mailServerStart = line.size();
    AppendItemText(note, "MailServer", line);
    line.copy(mailServer, kTranslationSize, mailServerStart);
    line.resize(mailServerStart);

    char abbreviated[kAbbreviationSize];
    memset(abbreviated, 0, sizeof(abbreviated));
    uint16_t abbreviatedLength = 0;
    // A failure is not reported: the line shows what the call left.
    g_notes.DNAbbreviate(kAbbreviateIncludeAll, nullptr, mailServer, abbreviated,
                         kAbbreviationSize, &abbreviatedLength);
    line.append(abbreviated, strnlen(abbreviated, kAbbreviationSize));
    AppendFew(line, " (");
    line += mailServer;
    AppendFew(line, "), ");

    AppendItemText(note, "MailDomain", line);
    AppendSeparator(line);
    AppendItemText(note, "InternetAddress", line);
    AppendSeparator(line);
    AppendItemText(note, "FullName", line);
    AppendSeparator(line);
    AppendItemText(note, "$REF", line);
    AppendSeparator(line);
    AppendItemText(note, "Form", line);
    lines.FinishLine();
  } catch (...) {
    // The unfinished line is dropped; the census goes on.
    lines.DiscardLine();
  }
}
