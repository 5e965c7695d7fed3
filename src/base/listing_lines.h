#ifndef BREVON_BASE_LISTING_LINES_H_
#define BREVON_BASE_LISTING_LINES_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// An ordered list of report lines, only ever appended to.
///
/// A server with a million persons gives a million lines. They are kept in a
/// few large text blocks with an index of where each line ends, not in a
/// heap string each: a million small allocations, and freeing them again at
/// the end of the partition, cost more than building the lines, and the
/// blocks need about half the memory. Blocks are reserved up front; only a
/// line longer than the room left makes one grow.
///
/// A framed list keeps each line between a fixed prefix and suffix, such as
/// the report's indent and line end: its blocks then read as the printed text
/// and go out whole, without a copy per line.
class ListingLines {
 public:
  ListingLines() = default;
  /// An empty list whose lines are kept between `prefix` and `suffix`.
  static ListingLines Framed(std::string_view prefix, std::string_view suffix);

  size_t size() const;
  bool empty() const { return size() == 0; }
  /// The line without prefix and suffix.
  std::string_view operator[](size_t index) const;

  /// The finished lines with their prefixes and suffixes, in order, as
  /// BlockCount() consecutive texts. An unfinished line is not part of them.
  size_t BlockCount() const { return blocks_.size(); }
  std::string_view Block(size_t index) const;

  /// Returns the text to which a new line is appended, piece by piece, until
  /// FinishLine or DiscardLine. The text is the whole block: earlier lines
  /// and the line's prefix come before what is appended, so its size is not
  /// the line's length. Only appending is allowed; what precedes the
  /// unfinished line is not to be touched. The reference holds until the
  /// next call of any of the three. May throw std::bad_alloc.
  std::string& StartLine();

  /// Makes what was appended since the last finished line a line of its own.
  /// Returns false, keeping nothing of it and noting the loss, when there
  /// was no memory for it.
  bool FinishLine();

  /// Appends each line of `other`, kept between this list's own prefix and
  /// suffix. Not for use while a line is under way: it would become the start
  /// of other's first line. Returns false when a line found no memory; that
  /// line is left out and the others are appended. Losses of `other` become
  /// this list's.
  bool Append(const ListingLines& other);

  /// Drops what was appended since the last finished line.
  void DiscardLine();

  /// Notes that a line meant for this list, or part of one, was left out
  /// for lack of memory. FinishLine and Append note their own losses.
  void NoteLoss() { lost_ = true; }

  /// True when anything meant for this list, or for a list appended to it,
  /// was left out for lack of memory: the report must not pass for whole.
  bool lost() const { return lost_; }

 private:
  ListingLines(std::string_view prefix, std::string_view suffix);

  struct TextBlock {
    std::string text;
    size_t firstLine;  // the number of the first line that may end in it
  };

  // Where line `index` ends in its block.
  uint32_t End(size_t index) const;

  // Where the unfinished line starts in the last block: the end of the last
  // finished line when it lies there.
  size_t UnfinishedStart() const;

  // Line ends per chunk of the index: 64 KiB.
  static constexpr size_t kEndsPerChunk = 16 * 1024;

  std::string prefix_;
  std::string suffix_;
  std::vector<TextBlock> blocks_;
  // Where each line ends in its block, kEndsPerChunk to a chunk. Chunks never
  // move: the index of a million lines is 4 MB written once, where one vector
  // would be copied at each doubling and touch about twice that memory.
  std::vector<std::vector<uint32_t>> ends_;
  // Set from StartLine to FinishLine or DiscardLine: a line under way never
  // moves to a new block, even when nothing has been appended to it yet.
  bool lineOpen_ = false;
  bool lost_ = false;
};

#endif  // BREVON_BASE_LISTING_LINES_H_
