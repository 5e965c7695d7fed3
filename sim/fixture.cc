// names.nsf: the directory database as a text file, mapped and parsed where
// it stands. Items keep offsets into the mapped text, so a million documents
// cost no copy of the text and one array of items.

#include <cstring>

#include "sim.h"

namespace sim {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Keyword lines are "view NAME", "note ID", "entry ID" and "category".
bool StartsWithKeyword(const char* line, const char* end, const char* keyword, size_t length,
                       const char** rest) {
  if (static_cast<size_t>(end - line) <= length || memcmp(line, keyword, length) != 0 ||
      !IsBlank(line[length]))
    return false;
  const char* p = line + length;
  while (p < end && IsBlank(*p)) ++p;
  *rest = p;
  return true;
}

const char* TrimEnd(const char* begin, const char* end) {
  while (end > begin && IsBlank(end[-1])) --end;
  return end;
}

// A keyword that stands alone: the word, then a blank or the end of the line.
bool StartsWithWord(const char* line, const char* end, const char* word, size_t length) {
  return static_cast<size_t>(end - line) >= length && memcmp(line, word, length) == 0 &&
         (line + length == end || IsBlank(line[length]));
}

bool ParseNoteId(const char* begin, const char* end, NOTEID* id) {
  uint64_t value;
  if (!ParseNumber(begin, static_cast<size_t>(end - begin), &value) || value > 0xFFFFFFFFu)
    return false;
  *id = static_cast<NOTEID>(value);
  return true;
}

uint32_t HashNoteId(NOTEID id) { return id * 0x9E3779B1u; }

// Escapes in values: "\\\\" is one backslash, "\\xHH" one byte.
size_t EscapeLength(const char* in, const char* end) {
  if (in[0] != '\\' || in + 1 >= end) return 0;
  if (in[1] == '\\') return 2;
  if (in + 4 <= end && in[1] == 'x' && HexDigit(in[2]) >= 0 && HexDigit(in[3]) >= 0) return 4;
  return 0;
}

char Unescaped(const char* in, size_t escapeLength) {
  return escapeLength == 2 ? '\\' : static_cast<char>(HexDigit(in[2]) * 16 + HexDigit(in[3]));
}

}  // namespace

void DocumentMap::Reserve(size_t count) {
  size_t capacity = 16;
  while (capacity < count * 2) capacity *= 2;
  if (capacity <= slots_.size()) return;
  std::vector<Slot> old;
  old.swap(slots_);
  slots_.assign(capacity, Slot{0, 0, {0, 0}});
  count_ = 0;
  for (const Slot& slot : old) {
    if (slot.used) Put(slot.id, slot.document);
  }
}

void DocumentMap::Grow() { Reserve(slots_.empty() ? 8 : slots_.size()); }

void DocumentMap::Put(NOTEID id, const Document& document) {
  if ((count_ + 1) * 2 > slots_.size()) Grow();
  size_t mask = slots_.size() - 1;
  for (size_t i = HashNoteId(id) & mask;; i = (i + 1) & mask) {
    Slot& slot = slots_[i];
    if (!slot.used) {
      slot = Slot{id, 1, document};
      ++count_;
      return;
    }
    if (slot.id == id) {
      slot.document = document;
      return;
    }
  }
}

const Document* DocumentMap::Find(NOTEID id) const {
  if (slots_.empty()) return nullptr;
  size_t mask = slots_.size() - 1;
  for (size_t i = HashNoteId(id) & mask;; i = (i + 1) & mask) {
    const Slot& slot = slots_[i];
    if (!slot.used) return nullptr;
    if (slot.id == id) return &slot.document;
  }
}

MappedFile::~MappedFile() {
  if (view_) UnmapViewOfFile(view_);
  if (mapping_) CloseHandle(mapping_);
}

// While mapped the file cannot be truncated or deleted: a test that rewrites
// a fixture must close the database (or unload the library) first.
bool MappedFile::Open(const std::wstring& path) {
  if (view_) return false;  // one file per mapping
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER fileSize;
  bool ok = GetFileSizeEx(file, &fileSize) && fileSize.QuadPart < 0xFFFFFFFFLL;
  // An empty file cannot be mapped; it is an empty text.
  if (ok && fileSize.QuadPart > 0) {
    mapping_ = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    view_ = mapping_ ? static_cast<const char*>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0))
                     : nullptr;
    ok = view_ != nullptr;
    if (ok) size_ = static_cast<size_t>(fileSize.QuadPart);
  }
  CloseHandle(file);
  return ok;
}

STATUS Database::Load(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return kErrNoExist;
  if (!file_.Open(path)) return kErrNoExist;
  return Parse() ? kNoError : kErrNotNsf;
}

size_t Database::CopyValue(const Item& item, char* out, size_t size) const {
  const char* in = Text(item.valueOffset);
  if (item.escapedLength == item.valueLength) {
    size_t n = item.valueLength < size ? item.valueLength : size;
    memcpy(out, in, n);
    return n;
  }
  const char* end = in + item.escapedLength;
  size_t n = 0;
  while (in < end && n < size) {
    size_t escape = EscapeLength(in, end);
    out[n++] = escape ? Unescaped(in, escape) : *in;
    in += escape ? escape : 1;
  }
  return n;
}

bool Database::Parse() {
  const char* const base = file_.data();
  const char* const fileEnd = base + file_.size();
  size_t lines = 1;
  if (file_.size() == 0) return true;  // no views, no documents
  for (const char* p = base; (p = static_cast<const char*>(memchr(p, '\n', fileEnd - p)));
       ++p)
    ++lines;
  items_.reserve(lines);
  documents_.Reserve(lines / 8);

  bool inNote = false;
  NOTEID noteId = 0;
  NOTEID categories = 0;
  size_t blockStart = 0;
  // A later block for the same note ID replaces an earlier one unless it is
  // empty (a document listed again in another view).
  auto finishNote = [&]() {
    if (!inNote) return;
    uint32_t count = static_cast<uint32_t>(items_.size() - blockStart);
    if (count > 0 || !documents_.Find(noteId))
      documents_.Put(noteId, Document{static_cast<uint32_t>(blockStart), count});
    inNote = false;
  };

  const char* line = base;
  while (line < fileEnd) {
    const char* lineEnd = static_cast<const char*>(memchr(line, '\n', fileEnd - line));
    if (!lineEnd) lineEnd = fileEnd;
    const char* next = lineEnd < fileEnd ? lineEnd + 1 : fileEnd;
    if (lineEnd > line && lineEnd[-1] == '\r') --lineEnd;
    while (line < lineEnd && IsBlank(*line)) ++line;

    const char* rest;
    if (line == lineEnd || *line == '#') {
      // blank or comment
    } else if (StartsWithKeyword(line, lineEnd, "view", 4, &rest)) {
      finishNote();
      const char* nameEnd = TrimEnd(rest, lineEnd);
      if (nameEnd == rest) return false;
      views_.push_back(View{std::string(rest, nameEnd), ViewNoteId(views_.size()), {}});
    } else if (StartsWithKeyword(line, lineEnd, "note", 4, &rest)) {
      finishNote();
      if (!ParseNoteId(rest, TrimEnd(rest, lineEnd), &noteId)) return false;
      inNote = true;
      blockStart = items_.size();
      if (!views_.empty()) views_.back().entries.push_back(noteId);
    } else if (StartsWithKeyword(line, lineEnd, "entry", 5, &rest)) {
      finishNote();
      NOTEID id;
      if (views_.empty() || !ParseNoteId(rest, TrimEnd(rest, lineEnd), &id)) return false;
      views_.back().entries.push_back(id);
    } else if (StartsWithWord(line, lineEnd, "category", 8)) {
      // Category rows are numbered through the whole file, from 1.
      finishNote();
      if (views_.empty() || TrimEnd(line + 8, lineEnd) != line + 8 || categories == 0x7FFFFFFF)
        return false;
      views_.back().entries.push_back(kNoteIdCategory | ++categories);
    } else {
      const char* equals = static_cast<const char*>(memchr(line, '=', lineEnd - line));
      if (!inNote || !equals || equals == line || equals - line > 0xFFFF) return false;
      size_t valueLength = 0;
      for (const char* in = equals + 1; in < lineEnd; ++valueLength) {
        size_t escape = EscapeLength(in, lineEnd);
        in += escape ? escape : 1;
      }
      items_.push_back(Item{static_cast<uint32_t>(equals + 1 - base),
                            static_cast<uint32_t>(lineEnd - (equals + 1)),
                            static_cast<uint32_t>(valueLength),
                            static_cast<uint16_t>(equals - line)});
    }
    line = next;
  }
  finishNote();
  return true;
}

const View* Database::FindView(const char* name, bool partial) const {
  size_t length = strlen(name);
  for (const View& view : views_) {
    if (partial ? view.name.size() >= length &&
                      EqualsIgnoreCase(view.name.data(), length, name, length)
                : EqualsIgnoreCase(view.name.data(), view.name.size(), name, length))
      return &view;
  }
  return nullptr;
}

const View* Database::ViewByNoteId(NOTEID id) const {
  if (id < ViewNoteId(0) || (id - ViewNoteId(0)) % 4 != 0) return nullptr;
  size_t index = (id - ViewNoteId(0)) / 4;
  return index < views_.size() ? &views_[index] : nullptr;
}

const Item* Database::FindItem(const Document& document, const char* name,
                               size_t nameLength) const {
  for (uint32_t i = 0; i < document.itemCount; ++i) {
    const Item& item = items_[document.firstItem + i];
    if (EqualsIgnoreCase(Text(item.NameOffset()), item.nameLength, name, nameLength)) return &item;
  }
  return nullptr;
}

}  // namespace sim
