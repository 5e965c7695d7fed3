#include "census/person_lines.h"

#include <cstring>
#include <string>
#include <string_view>

#include "base/text.h"

namespace {

// A person line is one line of the report: no item may end it early, start
// another one or hide what follows. In UTF-8 text every control character
// stands for itself, so each becomes a blank. In the server's own character
// set, bytes below 0x20 also begin characters of other scripts; there only
// the line breaks are blanked.
bool IsControl(char c) { return (c > '\0' && c < ' ') || c == '\x7F'; }

void BlankControls(char* text, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (IsControl(text[i])) text[i] = ' ';
  }
}

void ReadPersonText(NotesHandle note, const char* itemName, PersonText& item) {
  char raw[kNotesTextSize];
  memset(raw, 0, sizeof(raw));
  uint16_t length = ReadItemText(note, itemName, raw);
  item.present = length != 0;
  if (!item.present) {
    item.length = 0;
    item.text[0] = '\0';
    return;
  }
  item.length = TranslateToUtf8(raw, length, item.text);
  BlankControls(item.text, item.length);
}

// The decimal digits of `number`, its sign included, at the end of `digits`.
std::string_view Decimal(int32_t number, char (&digits)[12]) {
  char* start = digits + sizeof(digits);
  // Works on the magnitude as unsigned so the smallest int32 is written too.
  uint32_t magnitude = number < 0 ? 0u - static_cast<uint32_t>(number) : static_cast<uint32_t>(number);
  do {
    *--start = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (number < 0) *--start = '-';
  return std::string_view(start, static_cast<size_t>(digits + sizeof(digits) - start));
}

void AppendText(std::string& line, const PersonText& item) {
  if (item.present) {
    line.append(item.text, item.length);
  } else {
    line.append(kNotAvailable);
  }
}

// Both forms begin alike: number, ShortName, MailFile, each followed by ", ".
void AppendLineStart(const PersonRecord& record, int32_t number, std::string& line) {
  char digits[12];
  line.append(Decimal(number, digits));
  line.append(", ");
  AppendText(line, record.shortName);
  line.append(", ");
  AppendText(line, record.mailFile);
  line.append(", ");
}

// A line that found no memory is left out; the census goes on.
void LeaveOutPersonLine(ListingLines& lines) {
  lines.DiscardLine();
  lines.NoteLoss();
}

void WriteNumber(CsvFile& file, int32_t number) {
  char digits[12];
  std::string_view text = Decimal(number, digits);
  WriteCsvField(file, text.data(), text.size());
}

const char* ReasonText(PersonReason reason) {
  switch (reason) {
    case PersonReason::kReference:
      return "reference document";
    case PersonReason::kNoMailFile:
      return "no mail file";
    case PersonReason::kNoMailServer:
      return "no mail server";
    case PersonReason::kOtherMailServer:
      return "other mail server";
    case PersonReason::kCounted:
      break;
  }
  return "";
}

}  // namespace

void ReadPersonRecord(NotesHandle note, bool all, PersonRecord& record) {
  ReadPersonText(note, "ShortName", record.shortName);
  ReadPersonText(note, "MailFile", record.mailFile);
  if (!all) return;
  ReadPersonText(note, "MailServer", record.mailServer);
  memset(record.abbreviatedMailServer, 0, sizeof(record.abbreviatedMailServer));
  if (record.mailServer.present) {
    // A failure is not reported: the forms show what the call left.
    AbbreviateName(record.mailServer.text, record.abbreviatedMailServer);
    BlankControls(record.abbreviatedMailServer, strlen(record.abbreviatedMailServer));
  }
  ReadPersonText(note, "MailDomain", record.mailDomain);
  ReadPersonText(note, "InternetAddress", record.internetAddress);
  ReadPersonText(note, "FullName", record.fullName);
  ReadPersonText(note, "$REF", record.reference);
  ReadPersonText(note, "Form", record.form);
}

void AppendBasicPersonLine(const PersonRecord& record, int32_t number,
                           const char* abbreviatedMailServer, ListingLines& lines) {
  try {
    std::string& line = lines.StartLine();
    AppendLineStart(record, number, line);
    if (abbreviatedMailServer == nullptr || abbreviatedMailServer[0] == '\0') {
      line.append(kNotAvailable);
    } else {
      size_t start = line.size();
      line.append(abbreviatedMailServer, strnlen(abbreviatedMailServer, kNotesTextSize));
      BlankLineBreaks(&line[start], line.size() - start);
    }
    lines.FinishLine();
  } catch (...) {
    LeaveOutPersonLine(lines);
  }
}

void AppendDetailedPersonLine(const PersonRecord& record, int32_t number, ListingLines& lines) {
  try {
    std::string& line = lines.StartLine();
    AppendLineStart(record, number, line);
    line.append(record.mailServer.present ? record.abbreviatedMailServer : kNotAvailable);
    line.append(" (");
    AppendText(line, record.mailServer);
    line.append("), ");
    for (const PersonText* item : {&record.mailDomain, &record.internetAddress, &record.fullName,
                                   &record.reference}) {
      AppendText(line, *item);
      line.append(", ");
    }
    AppendText(line, record.form);
    lines.FinishLine();
  } catch (...) {
    LeaveOutPersonLine(lines);
  }
}

void WritePersonColumns(CsvFile& file) {
  for (const char* column :
       {"Partition", "Server", "Counted", "Reason", "Number", "ShortName", "MailFile", "MailServer",
        "MailServerFull", "MailDomain", "InternetAddress", "FullName", "Ref", "Form"}) {
    WriteCsvField(file, column);
  }
  EndCsvRow(file);
}

void WritePersonRow(CsvFile& file, int partition, const char* server, const PersonRecord& record,
                    PersonReason reason, int32_t number) {
  WriteNumber(file, partition);
  WriteCsvField(file, server);
  WriteCsvField(file, reason == PersonReason::kCounted ? "yes" : "no");
  WriteCsvField(file, ReasonText(reason));
  WriteNumber(file, number);
  WriteCsvField(file, record.shortName.text, record.shortName.length);
  WriteCsvField(file, record.mailFile.text, record.mailFile.length);
  WriteCsvField(file, record.abbreviatedMailServer);
  for (const PersonText* item : {&record.mailServer, &record.mailDomain, &record.internetAddress,
                                 &record.fullName, &record.reference, &record.form}) {
    WriteCsvField(file, item->text, item->length);
  }
  EndCsvRow(file);
}
