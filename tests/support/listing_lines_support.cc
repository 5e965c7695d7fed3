#include "listing_lines_support.h"

ListingLines LinesOf(std::initializer_list<std::string_view> lines) {
  ListingLines list;
  for (std::string_view line : lines) {
    list.StartLine().append(line);
    list.FinishLine();
  }
  return list;
}

bool operator==(const ListingLines& a, const ListingLines& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

void PrintTo(const ListingLines& lines, std::ostream* out) {
  *out << lines.size() << " lines:";
  for (size_t i = 0; i < lines.size(); ++i) *out << "\n  \"" << lines[i] << "\"";
}
