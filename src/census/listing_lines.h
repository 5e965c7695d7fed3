#ifndef BREVON_CENSUS_LISTING_LINES_H_
#define BREVON_CENSUS_LISTING_LINES_H_

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

/// An ordered list of report lines without line ends, only ever appended to.
///
/// All lines share one text buffer and the list keeps where each ends: a
/// listing of a million persons then costs two growing buffers instead of a
/// million heap blocks, which the heap is slow to hand out and take back.
class ListingLines {
 public:
  ListingLines() = default;
  ListingLines(std::initializer_list<std::string_view> lines);

  size_t size() const { return ends_.size(); }
  bool empty() const { return ends_.empty(); }
  std::string_view operator[](size_t index) const;

  /// Returns the text to which a new line is appended, piece by piece, until
  /// FinishLine or DiscardLine.
  std::string& StartLine() { return text_; }

  /// Makes what was appended since the last finished line a line of its own.
  /// Returns false, keeping nothing of it, when there was no memory for it.
  bool FinishLine();

  /// Drops what was appended since the last finished line.
  void DiscardLine();

  bool operator==(const ListingLines& other) const;
  bool operator!=(const ListingLines& other) const { return !(*this == other); }

 private:
  size_t UnfinishedStart() const { return ends_.empty() ? 0 : ends_.back(); }

  std::string text_;
  std::vector<size_t> ends_;
};

#endif  // BREVON_CENSUS_LISTING_LINES_H_
