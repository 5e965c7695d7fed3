#ifndef BREVON_CENSUS_LISTING_LINES_H_
#define BREVON_CENSUS_LISTING_LINES_H_

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

/// An ordered list of report lines without line ends, only ever appended to.
///
/// The lines are kept in a few large text blocks with an index of where each
/// ends: a listing of a million persons then costs a few dozen blocks instead
/// of a million heap strings, which the heap is slow to hand out and take
/// back, and no block is ever copied to grow.
class ListingLines {
 public:
  ListingLines() = default;
  ListingLines(std::initializer_list<std::string_view> lines);

  size_t size() const { return ends_.size(); }
  bool empty() const { return ends_.empty(); }
  std::string_view operator[](size_t index) const;

  /// Returns the text to which a new line is appended, piece by piece, until
  /// FinishLine or DiscardLine. Only appending is allowed; what precedes
  /// the unfinished line is not to be touched. The reference holds until the
  /// next call of any of the three. May throw std::bad_alloc.
  std::string& StartLine();

  /// Makes what was appended since the last finished line a line of its own.
  /// Returns false, keeping nothing of it, when there was no memory for it.
  bool FinishLine();

  /// Drops what was appended since the last finished line.
  void DiscardLine();

  bool operator==(const ListingLines& other) const;
  bool operator!=(const ListingLines& other) const { return !(*this == other); }

 private:
  struct LineEnd {
    uint32_t block;
    uint32_t end;
  };

  std::vector<std::string> blocks_;
  std::vector<LineEnd> ends_;
  // Where the unfinished line starts in the last block.
  size_t unfinishedStart_ = 0;
  // Set from StartLine to FinishLine or DiscardLine: a line under way never
  // moves to a new block, even when nothing has been appended to it yet.
  bool lineOpen_ = false;
};

#endif  // BREVON_CENSUS_LISTING_LINES_H_
