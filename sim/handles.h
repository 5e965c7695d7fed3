#ifndef BREVON_SIM_HANDLES_H_
#define BREVON_SIM_HANDLES_H_

// Handle tables with O(1) allocate, look-up and free. A handle packs
// [generation][kind][slot + 1], so a handle of another kind, one never
// issued and one already given back can all be told apart. Each table counts
// the handles it handed out and took back, for the call log's balance.

#include <cstdint>
#include <vector>

namespace sim {

enum class HandleCheck { kOk, kUnknown, kWrongKind, kGivenBack };

template <typename T, typename Value, unsigned kSlotBits, unsigned kKindBits, unsigned kKind>
class HandleTable {
 public:
  static constexpr unsigned kGenerationShift = kSlotBits + kKindBits;
  static constexpr unsigned kGenerationBits = sizeof(Value) * 8 - kGenerationShift;
  static constexpr uint32_t kSlotMask = (1u << kSlotBits) - 1;
  static constexpr uint32_t kKindMask = (1u << kKindBits) - 1;
  static constexpr uint32_t kGenerationMask = (1u << kGenerationBits) - 1;
  static constexpr size_t kMaxSlots = kSlotMask;  // slot + 1 must fit

  /// The kind field of any handle of this width.
  static unsigned KindOf(Value handle) { return (handle >> kSlotBits) & kKindMask; }

  /// Stores `value` and returns its handle, or 0 when the table is full.
  Value Allocate(T&& value) {
    uint32_t index;
    if (!free_.empty()) {
      index = free_.back();
      free_.pop_back();
    } else {
      if (slots_.size() >= kMaxSlots) return 0;
      index = static_cast<uint32_t>(slots_.size());
      slots_.emplace_back();
    }
    Slot& slot = slots_[index];
    slot.value = std::move(value);
    slot.live = true;
    ++taken_;
    uint32_t generation = slot.issued++ & kGenerationMask;
    return static_cast<Value>((generation << kGenerationShift) | (kKind << kSlotBits) |
                              (index + 1));
  }

  HandleCheck Check(Value handle) const {
    if (KindOf(handle) != kKind) {
      return KindOf(handle) == 0 || handle == 0 ? HandleCheck::kUnknown : HandleCheck::kWrongKind;
    }
    uint32_t slotField = handle & kSlotMask;
    if (slotField == 0 || slotField > slots_.size()) return HandleCheck::kUnknown;
    const Slot& slot = slots_[slotField - 1];
    uint32_t generation = (handle >> kGenerationShift) & kGenerationMask;
    if (slot.issued == 0) return HandleCheck::kUnknown;
    uint32_t current = (slot.issued - 1) & kGenerationMask;
    if (slot.live && generation == current) return HandleCheck::kOk;
    // Issued before unless the generation is one this slot never reached.
    if (slot.issued > kGenerationMask || generation <= current) return HandleCheck::kGivenBack;
    return HandleCheck::kUnknown;
  }

  /// The value behind a handle that Check() passed.
  T& Get(Value handle) { return slots_[(handle & kSlotMask) - 1].value; }

  void Free(Value handle) {
    uint32_t index = (handle & kSlotMask) - 1;
    slots_[index].live = false;
    slots_[index].value = T();
    free_.push_back(index);
    ++givenBack_;
  }

  void Clear() {
    slots_.clear();
    free_.clear();
    taken_ = givenBack_ = 0;
  }

  uint64_t taken() const { return taken_; }
  uint64_t givenBack() const { return givenBack_; }

 private:
  struct Slot {
    T value{};
    uint32_t issued = 0;  // allocations so far; the generation is its low bits
    bool live = false;
  };
  std::vector<Slot> slots_;
  std::vector<uint32_t> free_;
  uint64_t taken_ = 0;
  uint64_t givenBack_ = 0;
};

}  // namespace sim

#endif  // BREVON_SIM_HANDLES_H_
