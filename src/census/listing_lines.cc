#include "census/listing_lines.h"

ListingLines::ListingLines(std::initializer_list<std::string_view> lines) {
  for (std::string_view line : lines) {
    StartLine().append(line);
    FinishLine();
  }
}

std::string_view ListingLines::operator[](size_t index) const {
  size_t start = index == 0 ? 0 : ends_[index - 1];
  return std::string_view(text_.data() + start, ends_[index] - start);
}

bool ListingLines::FinishLine() {
  try {
    ends_.push_back(text_.size());
    return true;
  } catch (...) {
    DiscardLine();
    return false;
  }
}

void ListingLines::DiscardLine() { text_.resize(UnfinishedStart()); }

bool ListingLines::operator==(const ListingLines& other) const {
  return ends_ == other.ends_ && text_.compare(0, UnfinishedStart(), other.text_, 0,
                                               other.UnfinishedStart()) == 0;
}
