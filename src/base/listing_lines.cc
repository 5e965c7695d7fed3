#include "base/listing_lines.h"

#include <algorithm>

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

size_t ListingLines::size() const {
  return ends_.empty() ? 0 : (ends_.size() - 1) * kEndsPerChunk + ends_.back().size();
}

uint32_t ListingLines::End(size_t index) const {
  return ends_[index / kEndsPerChunk][index % kEndsPerChunk];
}

std::string_view ListingLines::operator[](size_t index) const {
  // The last block whose first line is not after this one holds it: a block
  // left without lines has the same first line as the next.
  auto after = std::upper_bound(
      blocks_.begin(), blocks_.end(), index,
      [](size_t line, const TextBlock& block) { return line < block.firstLine; });
  const TextBlock& block = *(after - 1);
  size_t start = index > block.firstLine ? End(index - 1) : 0;
  start += prefix_.size();
  return std::string_view(block.text.data() + start, End(index) - suffix_.size() - start);
}

size_t ListingLines::UnfinishedStart() const {
  size_t count = size();
  if (blocks_.empty() || count == blocks_.back().firstLine) return 0;
  return End(count - 1);
}

std::string_view ListingLines::Block(size_t index) const {
  std::string_view block = blocks_[index].text;
  // The last block may end in a line under way.
  if (index + 1 == blocks_.size()) block = block.substr(0, UnfinishedStart());
  return block;
}

std::string& ListingLines::StartLine() {
  if (!lineOpen_ &&
      (blocks_.empty() ||
       blocks_.back().text.capacity() - blocks_.back().text.size() < kRoomForLine)) {
    size_t bytes = blocks_.empty() ? kFirstBlockBytes : 2 * blocks_.back().text.capacity();
    if (bytes > kLargestBlockBytes) bytes = kLargestBlockBytes;
    TextBlock block{std::string(), size()};
    block.text.reserve(bytes);
    blocks_.push_back(std::move(block));
  }
  if (!lineOpen_) blocks_.back().text.append(prefix_);
  lineOpen_ = true;
  return blocks_.back().text;
}

bool ListingLines::FinishLine() {
  try {
    if (!lineOpen_) StartLine();
    blocks_.back().text.append(suffix_);
    size_t end = blocks_.back().text.size();
    // Only a line of gigabytes could carry its block past what the index holds.
    if (end > UINT32_MAX) {
      DiscardLine();
      NoteLoss();
      return false;
    }
    if (ends_.empty() || ends_.back().size() == kEndsPerChunk) {
      std::vector<uint32_t> chunk;
      // Chunks after the first are taken whole; the first grows, as most
      // lists are short.
      if (!ends_.empty()) chunk.reserve(kEndsPerChunk);
      ends_.push_back(std::move(chunk));
    }
    ends_.back().push_back(static_cast<uint32_t>(end));
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
  if (!blocks_.empty()) blocks_.back().text.resize(UnfinishedStart());
  lineOpen_ = false;
}
