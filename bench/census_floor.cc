// The census floor: binds the same simulated server library as the tool and
// makes the server calls that the tool makes for one case, in the same
// order. In the listing cases it also writes a line per person of the
// tool's shape as each person is read: the floor pays for the output the
// tool writes, but neither checks the items nor holds the lines.
//
//   census_floor.exe LIBRARY_DIR DATA_DIR load|plain|names|details|csv [held]
//
// "load" binds, initialises, opens and closes the directory and terminates:
// the process start and the library's load of its fixture, which the
// benchmark takes off both tool and floor. "csv" writes the person list of
// "/csv:FILE" to standard output, byte for byte, as the tool writes its
// file: it reads what the tool reads and numbers the persons per list, but
// neither checks nor blanks the items. "held" keeps the lines in blocks
// of fresh memory and writes them after the census, as a report that prints
// a list after its count must: the benchmark's breakdown measures what
// holding costs by itself.

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <stdlib.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "notes/library_search.h"
#include "notes/notes_api.h"

namespace {

constexpr size_t kTranslated = 4 * 259 + 4;

// The item read and translation of one listed item into `translated`;
// `missing` ("NA" in a line) when the item is missing.
const char* ReadTranslated(NotesHandle note, const char* item, char* translated,
                           const char* missing = "NA") {
  char raw[260];
  memset(raw, 0, sizeof(raw));
  memset(translated, 0, kTranslated);
  uint16_t length = g_notes.NSFItemGetText(note, item, raw, sizeof(raw));
  if (length == 0) return strcpy(translated, missing);
  if (length > 259) length = 259;
  g_notes.OSTranslate(kTranslateLmbcsToUtf8, raw, length, translated, kTranslated - 1);
  return translated;
}

// One line per person, numbered in reading order.
unsigned long number = 0;

// The joins are copies: under Wine a printf per line costs about 2 us,
// more than all of the tool's own formatting of the line.
char* Put(char* at, const char* text) {
  size_t length = strlen(text);
  memcpy(at, text, length);
  return at + length;
}

// Both forms begin with the number, ShortName, MailFile and the abbreviated
// mail server.
char* StartLine(char* line, const char* shortName, const char* file, const char* abbreviated) {
  char* at = Put(line, "  ");
  _ultoa(++number, at, 10);
  at += strlen(at);
  for (const char* element : {shortName, file, abbreviated}) at = Put(Put(at, ", "), element);
  return at;
}

bool held = false;
std::vector<std::string> blocks;

// The tool writes its listing in binary mode with the CR LF in the text:
// the floor writes the same bytes the same way, a line at a time, or holds
// them in blocks of 1 MiB.
void WriteLine(char* line, char* at) {
  at = Put(at, "\r\n");
  size_t length = static_cast<size_t>(at - line);
  if (!held) {
    fwrite(line, 1, length, stdout);
    return;
  }
  if (blocks.empty() || blocks.back().capacity() - blocks.back().size() < length) {
    blocks.emplace_back();
    blocks.back().reserve(1024 * 1024);
  }
  blocks.back().append(line, length);
}

// The partition's mail server, as the census compares it, and its server
// name in UTF-8, as the person list names it.
char g_mailServer[260];
char g_server[kTranslated];
unsigned long g_found = 0;
unsigned long g_other = 0;

// The person list goes out as the tool writes its file: through a 64 KiB
// buffer, with WriteFile.
char g_rows[64 * 1024];
size_t g_rowBytes = 0;

void FlushRows() {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), g_rows, static_cast<DWORD>(g_rowBytes), &written,
            nullptr);
  g_rowBytes = 0;
}

void PutRow(const char* row, size_t length) {
  if (g_rowBytes + length > sizeof(g_rows)) FlushRows();
  memcpy(g_rows + g_rowBytes, row, length);
  g_rowBytes += length;
}

// Equality of two texts, folding the ASCII letters, as the census compares.
bool SameName(const char* a, const char* b) {
  for (;; ++a, ++b) {
    char x = (*a >= 'a' && *a <= 'z') ? *a - 32 : *a;
    char y = (*b >= 'a' && *b <= 'z') ? *b - 32 : *b;
    if (x != y) return false;
    if (x == '\0') return true;
  }
}

// A field after a comma (none before the first), quoted as the tool quotes.
char* Field(char* at, const char* text, bool first = false) {
  if (!first) *at++ = ',';
  bool guarded = text[0] != '\0' && strchr("=+-@\t\r", text[0]) != nullptr;
  if (!guarded && strpbrk(text, ",\"\r\n") == nullptr) return Put(at, text);
  *at++ = '"';
  if (guarded) *at++ = '\'';
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == '"') *at++ = '"';
    *at++ = *c;
  }
  *at++ = '"';
  return at;
}

void ListRow(NotesHandle note, const char* reason) {
  char shortName[kTranslated], file[kTranslated], server[kTranslated], domain[kTranslated],
      address[kTranslated], fullName[kTranslated], ref[kTranslated], form[kTranslated];
  char abbreviated[260];
  memset(abbreviated, 0, sizeof(abbreviated));
  ReadTranslated(note, "ShortName", shortName, "");
  ReadTranslated(note, "MailFile", file, "");
  if (ReadTranslated(note, "MailServer", server, "")[0] != '\0') {
    uint16_t length = 0;
    g_notes.DNAbbreviate(kAbbreviateIncludeAll, nullptr, server, abbreviated,
                         sizeof(abbreviated), &length);
  }
  ReadTranslated(note, "MailDomain", domain, "");
  ReadTranslated(note, "InternetAddress", address, "");
  ReadTranslated(note, "FullName", fullName, "");
  ReadTranslated(note, "$REF", ref, "");
  ReadTranslated(note, "Form", form, "");
  bool counted = reason[0] == '\0';
  char number[16];
  _ultoa(counted ? ++g_found : ++g_other, number, 10);
  char row[16 * 1024];
  char* at = Field(row, "1", true);
  for (const char* field : {static_cast<const char*>(g_server), counted ? "yes" : "no", reason,
                            static_cast<const char*>(number), static_cast<const char*>(shortName),
                            static_cast<const char*>(file), static_cast<const char*>(abbreviated),
                            static_cast<const char*>(server), static_cast<const char*>(domain),
                            static_cast<const char*>(address), static_cast<const char*>(fullName),
                            static_cast<const char*>(ref), static_cast<const char*>(form)}) {
    at = Field(at, field);
  }
  at = Put(at, "\r\n");
  PutRow(row, static_cast<size_t>(at - row));
}

void Person(NotesHandle database, NotesNoteId id, bool names, bool details, bool csv) {
  NotesHandle note = 0;
  if (g_notes.NSFNoteOpen(database, id, kOpenSummary, &note) != kNotesNoError) return;
  char mailServer[260];
  char abbreviated[260];
  char mailFile[260];
  memset(mailServer, 0, sizeof(mailServer));
  memset(abbreviated, 0, sizeof(abbreviated));
  memset(mailFile, 0, sizeof(mailFile));
  mailServer[0] = 'N';
  mailServer[1] = 'A';
  uint16_t length = 0;
  bool hasMailServer =
      g_notes.NSFItemGetText(note, "MailServer", mailServer, sizeof(mailServer)) != 0;
  bool hasMailFile = g_notes.NSFItemGetText(note, "MailFile", mailFile, sizeof(mailFile)) != 0;
  bool isReference =
      g_notes.NSFItemInfo(note, "$REF", 4, nullptr, nullptr, nullptr, nullptr) == kNotesNoError;
  g_notes.DNAbbreviate(kAbbreviateIncludeAll, nullptr, mailServer, abbreviated,
                       sizeof(abbreviated), &length);
  if (csv) {
    bool here = SameName(abbreviated, g_mailServer) || SameName(mailServer, g_mailServer);
    ListRow(note, isReference     ? "reference document"
                  : !hasMailFile  ? "no mail file"
                  : !hasMailServer ? "no mail server"
                  : !here         ? "other mail server"
                                  : "");
  }
  char line[16 * 1024];
  char shortName[kTranslated], file[kTranslated];
  if (names) {
    ReadTranslated(note, "ShortName", shortName);
    ReadTranslated(note, "MailFile", file);
    WriteLine(line, StartLine(line, shortName, file, abbreviated));
  }
  if (details) {
    ReadTranslated(note, "ShortName", shortName);
    ReadTranslated(note, "MailFile", file);
    char serverUtf8[kTranslated];
    ReadTranslated(note, "MailServer", serverUtf8);
    memset(abbreviated, 0, sizeof(abbreviated));
    g_notes.DNAbbreviate(kAbbreviateIncludeAll, nullptr, serverUtf8, abbreviated,
                         sizeof(abbreviated), &length);
    char domain[kTranslated], address[kTranslated], fullName[kTranslated], ref[kTranslated],
        form[kTranslated];
    ReadTranslated(note, "MailDomain", domain);
    ReadTranslated(note, "InternetAddress", address);
    ReadTranslated(note, "FullName", fullName);
    ReadTranslated(note, "$REF", ref);
    ReadTranslated(note, "Form", form);
    char* at = Put(Put(Put(StartLine(line, shortName, file, abbreviated), " ("), serverUtf8), ")");
    for (const char* element : {domain, address, fullName, ref, form}) {
      at = Put(Put(at, ", "), element);
    }
    WriteLine(line, at);
  }
  g_notes.NSFNoteClose(note);
}

void Environment(const char* name, char* value, char* abbreviated) {
  memset(value, 0, 260);
  memset(abbreviated, 0, 260);
  g_notes.OSGetEnvironmentString(name, value, 259);
  uint16_t length = 0;
  g_notes.DNAbbreviate(kAbbreviateIncludeAll, nullptr, value, abbreviated, 260, &length);
}

}  // namespace

int main(int argc, char** argv) {
  // Plain arguments, as the tool takes them: the benchmark's paths are ASCII.
  if (argc != 4 && !(argc == 5 && strcmp(argv[4], "held") == 0)) return 2;
  held = argc == 5;
  wchar_t libraryDirectory[MAX_PATH] = {};
  MultiByteToWideChar(CP_ACP, 0, argv[1], -1, libraryDirectory, MAX_PATH);
  UseProgramDirectory(libraryDirectory);
  if (_chdir(argv[2]) != 0) return 3;
  const char* mode = argv[3];
  bool load = strcmp(mode, "load") == 0;
  bool names = strcmp(mode, "names") == 0;
  bool details = strcmp(mode, "details") == 0;
  bool csv = strcmp(mode, "csv") == 0;
  _setmode(_fileno(stdout), _O_BINARY);
  // The C library's buffer for a file, whatever standard output is: it
  // leaves a character device such as NUL unbuffered, a system call per
  // line, and the benchmark's breakdown writes to NUL.
  setvbuf(stdout, nullptr, _IOFBF, 4096);

  HMODULE library = nullptr;
  // The tool's own binding: the same library, found the same way.
  if (!BindNotesApi(library)) return 4;
  if (g_notes.NotesInitExtended(argc, argv) != kNotesNoError) return 5;

  char server[260], abbreviatedServer[260], mailServer[260], abbreviatedMailServer[260];
  if (!load) {
    Environment("ServerName", server, abbreviatedServer);
    Environment("MailServer", mailServer, abbreviatedMailServer);
    memcpy(g_mailServer, abbreviatedMailServer, sizeof(g_mailServer));
  }
  if (csv) {
    memset(g_server, 0, sizeof(g_server));
    g_notes.OSTranslate(kTranslateLmbcsToUtf8, abbreviatedServer,
                        static_cast<uint16_t>(strlen(abbreviatedServer)), g_server,
                        kTranslated - 1);
    PutRow("\xEF\xBB\xBF", 3);
    char row[256];
    char* at = Field(row, "Partition", true);
    for (const char* column : {"Server", "Counted", "Reason", "Number", "ShortName", "MailFile",
                               "MailServer", "MailServerFull", "MailDomain", "InternetAddress",
                               "FullName", "Ref", "Form"}) {
      at = Field(at, column);
    }
    at = Put(at, "\r\n");
    PutRow(row, static_cast<size_t>(at - row));
  }

  NotesHandle database = 0;
  if (g_notes.NSFDbOpen("names.nsf", &database) != kNotesNoError) return 6;
  if (!load) {
    NotesNoteId viewId = 0;
    if (g_notes.NIFFindDesignNoteExt(database, "Mail Users", kNoteClassView, "-G40n^", &viewId,
                                     0) != kNotesNoError)
      return 7;
    NotesCollection collection = 0;
    if (g_notes.NIFOpenCollection(database, database, viewId, 0, 0, &collection, nullptr,
                                  nullptr, nullptr, nullptr) != kNotesNoError)
      return 8;
    NotesCollectionPosition position;
    memset(&position, 0, sizeof(position));
    for (;;) {
      NotesHandle buffer = 0;
      uint16_t bufferLength = 0;
      uint32_t returned = 0;
      uint16_t flags = 0;
      if (g_notes.NIFReadEntries(collection, &position, kNavigateNext, 1, kNavigateNext,
                                 0xFFFFFFFF, kReadMaskNoteId, &buffer, &bufferLength, nullptr,
                                 &returned, &flags) != kNotesNoError)
        return 9;
      if (buffer != 0) {
        const NotesNoteId* ids = static_cast<const NotesNoteId*>(g_notes.OSLockObject(buffer));
        if (ids != nullptr) {
          for (uint32_t i = 0; i < returned; ++i) Person(database, ids[i], names, details, csv);
          g_notes.OSUnlockObject(buffer);
        }
        g_notes.OSMemFree(buffer);
      }
      if ((flags & kSignalMoreToDo) == 0) break;
    }
    g_notes.NIFCloseCollection(collection);
  }
  for (const std::string& block : blocks) fwrite(block.data(), 1, block.size(), stdout);
  if (csv) FlushRows();
  g_notes.NSFDbClose(database);
  UnbindNotesApi(library);
  return 0;
}
