// The steps of the fast way through data lines that depend on the machine's instructions:
//   - mapping chunks: classifying 64 bytes at a time into the few classes that matter for its
//     lines, one bit per byte (bit i for byte i), and deriving from them the masks of
//     log/chunk_masks.h, with the set's own instructions;
//   - reading the values of the fields that start in the chunks as they are mapped, many at a
//     time: right after each chunk, or after each few (PendingFields) where a set reads from a
//     list of positions.
// Each kernel set does the same with other instructions, and all give identical results;
// log/kernel_sets.h lists them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "log/byte_rules.h"
#include "log/chunk_masks.h"
#include "log/field_splitter.h"
#include "log/number.h"
#include "output/value_writer.h"

namespace mirtak {

// Classifies `chunks` chunks of 64 bytes each and hands their classes to the deriver in order;
// as each chunk is mapped, reads the value of each field the deriver finds starting in it
// (MaskDeriver::push) and writes them in order from `items` on, 2 bytes each, counted in with
// MaskDeriver::values_read. Stops after the chunk in which the deriver finds a byte for the plain
// reader. Returns how many chunks it mapped.
//
// The reading is speculative, so the caller commits only the values of the fields it takes.
// Fields start with a sign, a digit, other text that reads as 0, or a lone space (the field of
// trailing spaces, 0). A kernel may read the 64 bytes after the last chunk (and `items` has room
// for kValueSlack more items than the chunks' values); `end`, at least as far, bounds a field's
// reading one character at a time.
using MapChunks = std::size_t(const unsigned char* data, std::size_t chunks,
                              const unsigned char* end, MaskDeriver& deriver, unsigned char* items);

inline constexpr std::size_t kReadAhead = kChunkSize;  // bytes a kernel may read past its chunks
inline constexpr std::size_t kValueSlack = 8;          // values a kernel may write past the last

struct Kernels {
  MapChunks* map_chunks;
};

// The eight bytes at p as they lie in memory, for a vector lane.
inline long long load8(const unsigned char* p) {
  long long word = 0;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// The value of the field at p, one character at a time up to the field's end: for the fields
// whose digits run on past what a kernel reads at once.
inline std::int16_t field_value(const unsigned char* p, const unsigned char* end) {
  Number number;
  while (p != end && *p != kFieldSeparator && number.take(*p))
    ++p;
  return number.value();
}

// For a kernel that reads values eight at a time from a list of their fields: the fields whose
// values are still to be read, as positions from the kernel's first chunk, in order. The kernel
// maps a few chunks (kChunks), adding each one's fields, then reads every eight that are
// complete, so that each of its two loops keeps its own constants in registers; the last few
// (the list padded to eight) once it stops mapping.
class PendingFields {
 public:
  static constexpr std::size_t kGroup = 8;
  static constexpr std::size_t kChunks = 16;

  // The fields of the chunk at `offset` from the first; returns how many. The first eight are
  // written without a branch on how many there are (a chunk rarely has more): those past the
  // last are written over by the next chunk's, or by the padding.
  std::size_t add(std::uint64_t values, unsigned offset) {
    const auto found = static_cast<std::size_t>(__builtin_popcountll(values));
    std::uint16_t* at = at_ + size_;
    for (std::size_t i = 0; i < kGroup; ++i, values &= values - 1)
      at[i] = static_cast<std::uint16_t>(offset + lowest_bit(values));
    for (std::size_t i = kGroup; i < found; ++i, values &= values - 1)
      at[i] = static_cast<std::uint16_t>(offset + lowest_bit(values));
    size_ += found;
    return found;
  }

  // Where the next chunk's positions go, for a kernel that writes them by its own instructions
  // (room for kChunkSize + kGroup), and how many it wrote.
  std::uint16_t* next() { return at_ + size_; }
  void added(std::size_t count) { size_ += count; }

  // How many whole groups are ready, and their positions.
  std::size_t ready() const { return size_ - size_ % kGroup; }
  const std::uint16_t* positions() const { return at_; }

  // The first `read` have been read (a multiple of eight): the rest move to the front.
  void drop(std::size_t read) {
    std::memcpy(at_, at_ + read, kGroup * sizeof at_[0]);
    size_ -= read;
  }

  // Whether fields are left for a last, padded group: the padding reads at `offset`, a position
  // the kernel may read (the end of its last chunk).
  bool pad(unsigned offset) {
    for (std::size_t i = size_; i < kGroup; ++i)
      at_[i] = static_cast<std::uint16_t>(offset);
    return size_ != 0;
  }

 private:
  // The position of the lowest set bit; any position when there is none.
  static unsigned lowest_bit(std::uint64_t bits) {
    return static_cast<unsigned>(__builtin_ctzll(bits | std::uint64_t{1} << 63));
  }

  std::uint16_t at_[kChunks * kChunkSize + 2 * kGroup] = {};
  std::size_t size_ = 0;
};

// A set's steps for map_listed, which take its own instructions.
using ClassesOf = ByteClasses(const unsigned char* chunk);
// Adds a chunk's fields, at offset from the first chunk, to the list; returns how many.
using ListFields = std::size_t(PendingFields& pending, std::uint64_t values, unsigned offset);
// The values of the eight fields at first + at[0..7], as items at out.
using ReadEight = void(const unsigned char* first, const std::uint16_t* at,
                       const unsigned char* end, unsigned char* out);

// The list step of a set without a compress: the positions one bit at a time.
inline std::size_t list_by_bits(PendingFields& pending, std::uint64_t values, unsigned offset) {
  return pending.add(values, offset);
}

// The loop of every set that reads values eight at a time from a list of their fields: it maps
// PendingFields::kChunks chunks, then reads every eight fields listed. A set's map_chunks calls
// it with the set's instructions and `flatten`, so that the loop and the set's steps are
// compiled into that one function, with those instructions; the steps must not be
// always_inline, as this template alone has none.
template <ClassesOf classes_of, ListFields list, ReadEight read_eight>
std::size_t map_listed(const unsigned char* data, std::size_t chunks, const unsigned char* end,
                       MaskDeriver& deriver, unsigned char* items) {
  MaskDeriver local = deriver;  // kept in registers
  PendingFields pending;
  const unsigned char* const first = data;
  std::size_t k = 0;
  bool stop = false;
  while (k < chunks && !stop) {
    for (const std::size_t batch = std::min(chunks, k + PendingFields::kChunks); k < batch && !stop;
         ++k, data += kChunkSize) {
      const std::uint64_t values = local.push(classes_of(data));
      local.values_read(list(pending, values, static_cast<unsigned>(data - first)));
      stop = local.plain_found();
    }
    const std::size_t ready = pending.ready();
    for (std::size_t i = 0; i < ready; i += PendingFields::kGroup)
      read_eight(first, pending.positions() + i, end, items + kItemSize * i);
    pending.drop(ready);
    items += kItemSize * ready;
  }
  if (pending.pad(static_cast<unsigned>(data - first)))
    read_eight(first, pending.positions(), end, items);
  deriver = local;
  return k;
}

// The kernel sets, each in its own file.

namespace portable {  // 64-bit words: any processor
MapChunks map_chunks;
}  // namespace portable

namespace avx2 {  // x86 with AVX2 (and BMI1, POPCNT)
bool runs_here();
MapChunks map_chunks;
}  // namespace avx2

namespace avx512 {  // x86 with AVX-512 (F, BW, CD, DQ, VL, VBMI, VBMI2; BMI1, POPCNT)
bool runs_here();
MapChunks map_chunks;
}  // namespace avx512

namespace sse4 {  // x86 with SSSE3, SSE4.1, SSE4.2 and POPCNT (x86-64-v2), 64-bit or 32-bit
bool runs_here();
MapChunks map_chunks;
}  // namespace sse4

namespace neon {  // aarch64 (Advanced SIMD); the positions are the portable kernel's
bool runs_here();
MapChunks map_chunks;
}  // namespace neon

namespace wasm_simd128 {  // WebAssembly with SIMD128 (the page's module); values: portable
bool runs_here();
MapChunks map_chunks;
}  // namespace wasm_simd128

}  // namespace mirtak
