#include "base/listing_lines.h"

namespace {

constexpr size_t kFirstBlockBytes = 64 * 1024;
constexpr size_t kLargestBlockBytes = 1024 * 1024;

// A new line starts in a new block when less room than this is left, so a
// line hardly ever makes its block grow (the longest line is about 10 KiB).
constexpr size_t kRoomForLine = 16 * 1024;

}  // namespace

ListingLines::ListingLines(std::string_view prefix, std::string_view suffix)
    : prefix_(prefix), suffix_(suffix) {}

ListingLines ListingLines::Framed(std::string_view prefix, std::string_view suffix) {
  return ListingLines(prefix, suffix);
}

std::string_view ListingLines::operator[](size_t index) const {
  const LineEnd& line = ends_[index];
  size_t start = 0;
  if (index > 0 && ends_[index - 1].block == line.block) start = ends_[index - 1].end;
  start += prefix_.size();
  return std::string_view(blocks_[line.block].data() + start, line.end - suffix_.size() - start);
}

size_t ListingLines::UnfinishedStart() const {
  if (ends_.empty() || ends_.back().block + 1 != blocks_.size()) return 0;
  return ends_.back().end;
}

std::string_view ListingLines::Block(size_t index) const {
  std::string_view block = blocks_[index];
  // The last block may end in a line under way.
  if (index + 1 == blocks_.size()) block = block.substr(0, UnfinishedStart());
  return block;
}

std::string& ListingLines::StartLine() {
  if (!lineOpen_ &&
      (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < kRoomForLine)) {
    size_t bytes = blocks_.empty() ? kFirstBlockBytes : 2 * blocks_.back().capacity();
    if (bytes > kLargestBlockBytes) bytes = kLargestBlockBytes;
    std::string block;
    block.reserve(bytes);
    blocks_.push_back(std::move(block));
  }
  if (!lineOpen_) blocks_.back().append(prefix_);
  lineOpen_ = true;
  return blocks_.back();
}

bool ListingLines::FinishLine() {
  try {
    if (!lineOpen_) StartLine();
    blocks_.back().append(suffix_);
    size_t end = blocks_.back().size();
    // Only a line of gigabytes could carry its block past what the index holds.
    if (end > UINT32_MAX) {
      DiscardLine();
      NoteLoss();
      return false;
    }
    ends_.push_back(LineEnd{static_cast<uint32_t>(blocks_.size() - 1), static_cast<uint32_t>(end)});
    lineOpen_ = false;
    return true;
  } catch (...) {
    DiscardLine();
    NoteLoss();
    return false;
  }
}

bool ListingLines::Append(const ListingLines& other) {
  if (other.lost_) NoteLoss();
  bool complete = true;
  // Counted first: `other` may be this very list.
  const size_t count = other.size();
  for (size_t i = 0; i < count; ++i) {
    try {
      StartLine().append(other[i]);
      if (!FinishLine()) complete = false;
    } catch (...) {
      DiscardLine();
      NoteLoss();
      complete = false;
    }
  }
  return complete;
}

void ListingLines::DiscardLine() {
  if (!blocks_.empty()) blocks_.back().resize(UnfinishedStart());
  lineOpen_ = false;
}
