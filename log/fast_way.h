// The way every kernel set reads a log: written once, here, and compiled into each set's file
// with that set's three steps (log/kernels.h): classify a chunk, list its fields, read eight
// values. A block is taken a stretch at a time: its chunks are classified and their masks
// derived (log/chunk_masks.h), which give where the fields start, which are values, where lines
// end and which bytes need the plain reading; the values are read as the chunks are mapped,
// eight at a time, straight into the writer's reservation. A field the vector steps cannot take
// (a byte of 0x08..0x0F but a line's last, a Ctrl-Z, a "+" that starts a line, a field longer
// than a stretch, the field a block's end cuts) and the header are read by the plain reading's
// step (log/reading.h) inside the same loop, which then goes on with the vector steps. The one
// record of where the reading stands (Reading) is this loop's own, and the bytes are never
// changed, so either step may look anywhere in the block.
//
// The rules the masks apply another way than the plain reading, and what ties them to it (the
// byte sweep, tests/byte_sweep_test.cc: every byte in every place of a line; the number sweep,
// tests/number_sweep_test.cc):
//   rule                                 plain reading        vector steps
//   white space                          number.h Number      the white-space range (byte_rules.h)
//   every CR is dropped                  reading.h            a CR right before the newline is
//                                                             read as a character of the line
//                                                             (chunk_masks.h); any other: plain
//   Ctrl-Z ends the input                reading.h            its field: plain
//   "+" first in a line ends the data    reading.h            its field: plain
//   lines end at the newline             reading.h            newline mask
//   only the space separates fields      reading.h            separator mask
//   the first field is dropped           reading.h            value starts (chunk_masks.h)
//   trailing spaces make one more 0      reading.h            a value at the newline
//   sign, digits, 32-bit wrap, low 16    number.h Number      each set's read_eight; long
//                                                             numbers by field_value (kernels.h)
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "log/byte_rules.h"
#include "log/chunk_masks.h"
#include "log/reading.h"
#include "output/value_writer.h"

namespace mirtak {

inline constexpr std::size_t kReadAhead = kChunkSize;  // bytes a step may read past its chunks
inline constexpr std::size_t kValueSlack = 8;          // values a step may write past the last

// A stretch holds at most one value per byte, and its values are reserved at once: the writer's
// largest reservation is exactly that.
static_assert(kStretchSize + kValueSlack == ValueWriter::kMaxReserve,
              "the writer's largest reservation is one stretch's values");
static_assert(kStretchSize <= 65536, "positions in a stretch fit 16 bits");

// The fields whose values are still to be read, as positions from the first chunk mapped, in
// order. A set maps kChunks chunks, adding each one's fields, then reads every eight that are
// complete, so that each of its two loops keeps its own constants in registers; the last few
// (the list padded to eight) once it stops mapping.
class PendingFields {
 public:
  static constexpr std::size_t kGroup = 8;
  static constexpr std::size_t kChunks = 16;

  // Where the next positions go: room for kChunks chunks' (kChunks * kChunkSize) and a group
  // more, written past the last by a step that writes a group at a time; and where they end.
  std::uint16_t* end() { return at_ + size_; }
  void listed(const std::uint16_t* end) { size_ = static_cast<std::size_t>(end - at_); }

  // How many whole groups are ready, and their positions.
  std::size_t ready() const { return size_ - size_ % kGroup; }
  const std::uint16_t* positions() const { return at_; }

  // The first `read` have been read (a multiple of eight): the rest move to the front.
  void drop(std::size_t read) {
    std::memcpy(at_, at_ + read, kGroup * sizeof at_[0]);
    size_ -= read;
  }

  // Whether fields are left for a last, padded group: the padding reads at `offset`, a position
  // the set may read (the end of its last chunk).
  bool pad(unsigned offset) {
    for (std::size_t i = size_; i < kGroup; ++i)
      at_[i] = static_cast<std::uint16_t>(offset);
    return size_ != 0;
  }

 private:
  // Not cleared: a position is written before it is read (past the last, by pad()).
  // cppcheck-suppress uninitMemberVarPrivate
  std::uint16_t at_[kChunks * kChunkSize + 2 * kGroup];
  std::size_t size_ = 0;
};

// A set's three steps, with its own instructions.
// The classes of the 64 bytes at chunk (log/chunk_masks.h says which a set may leave out).
using ClassesOf = ByteClasses(const unsigned char* chunk);
// Lists the values of a chunk (`values`, one bit per byte) as positions from the first chunk,
// the chunk being at `offset`, written from `at` on; returns where they end. It may write up to
// a group past the end (PendingFields::end).
using ListFields = std::uint16_t*(std::uint16_t* at, std::uint64_t values, unsigned offset);
// The values of the eight fields at first + at[0..7], as items at out. The eight bytes at each
// may be read; `end` bounds the reading of a number longer than that.
using ReadEight = void(const unsigned char* first, const std::uint16_t* at,
                       const unsigned char* end, unsigned char* out);

// The position of the lowest set bit; any position when there is none, on any processor.
inline unsigned any_lowest_bit(std::uint64_t bits) {
  return static_cast<unsigned>(__builtin_ctzll(bits | std::uint64_t{1} << 63));
}

// The list step of a set without a compress: the positions one bit at a time, by `lowest_bit`
// (the position of the lowest set bit of a word, any position when it has none). The first
// eight are written without a branch on how many there are (a chunk rarely has more): those past
// the last are written over by the next chunk's, or by the padding.
template <unsigned lowest_bit(std::uint64_t) = any_lowest_bit>
std::uint16_t* list_by_bits(std::uint16_t* at, std::uint64_t values, unsigned offset) {
  const auto found = static_cast<std::size_t>(__builtin_popcountll(values));
  for (std::size_t i = 0; i < PendingFields::kGroup; ++i, values &= values - 1)
    at[i] = static_cast<std::uint16_t>(offset + lowest_bit(values));
  for (std::size_t i = PendingFields::kGroup; i < found; ++i, values &= values - 1)
    at[i] = static_cast<std::uint16_t>(offset + lowest_bit(values));
  return at + found;
}

namespace fast_way {

constexpr std::uint64_t kAllBits = ~std::uint64_t{0};

// The first set bit at or after from, or limit if there is none before limit.
inline std::size_t next_set(const std::uint64_t* bits, std::size_t from, std::size_t limit) {
  if (from >= limit) return limit;
  std::size_t k = from / 64;
  std::uint64_t word = bits[k] & (kAllBits << (from % 64));
  while (word == 0) {
    if (++k * 64 >= limit) return limit;
    word = bits[k];
  }
  return std::min(limit, k * 64 + static_cast<std::size_t>(__builtin_ctzll(word)));
}

// The last set bit before to (and at or after from), or `none` if there is none.
inline std::size_t last_set(const std::uint64_t* bits, std::size_t from, std::size_t to,
                            std::size_t none) {
  if (to <= from) return none;
  std::size_t k = (to - 1) / 64;
  std::uint64_t word = bits[k] & (kAllBits >> (63 - (to - 1) % 64));
  while (word == 0) {
    if (k * 64 <= from) return none;
    word = bits[--k];
  }
  const std::size_t at = k * 64 + 63 - static_cast<std::size_t>(__builtin_clzll(word));
  return at >= from ? at : none;
}

// A stretch as mapped: how many of its bytes, where it started, and what its masks say.
struct Stretch {
  std::size_t size;       // bytes mapped: mapping stops early at a byte for the plain reading
  LinePlace first_place;  // where the line stood at its first byte
  std::size_t plain;      // the first byte for the plain reading, or size if none
  std::size_t cut;        // where its last complete field ends
  const StretchMasks& masks;

  // How many values come before offset (0 to size).
  std::size_t values_before(std::size_t offset) const {
    const std::size_t k = offset / 64;
    const std::uint64_t below = (std::uint64_t{1} << (offset % 64)) - 1;
    const std::uint64_t bits = offset % 64 == 0 ? 0 : masks.values[k] & below;
    return masks.values_before[k] + static_cast<std::size_t>(__builtin_popcountll(bits));
  }

  // Where the line stands at offset (0 to size), a place between two fields.
  LinePlace place_at(std::size_t offset) const {
    if (offset == 0) return first_place;
    const std::size_t before = offset - 1;
    if (((masks.newline[before / 64] >> (before % 64)) & 1) != 0) return LinePlace::kLineStart;
    const std::size_t newline = last_set(masks.newline, 0, offset, size);
    const std::size_t line = newline == size ? 0 : newline + 1;
    const bool begun = (line == 0 && first_place == LinePlace::kAfterField) ||
                       last_set(masks.starts, line, offset, size) != size;
    return begun ? LinePlace::kAfterField : LinePlace::kLeadingSpaces;
  }

  // Where the vector steps stop: at the start of the field that holds the first byte for the
  // plain reading, else where the last complete field ends.
  std::size_t stop() const { return plain < size ? last_set(masks.starts, 0, plain + 1, 0) : cut; }

  // Tells the writer of each newline before `to`: its line's values (the trailing spaces' 0 at
  // the newline included) end with those of the stretch before the byte after it.
  void end_lines(std::size_t to, ValueWriter& out) const {
    for (std::size_t at = next_set(masks.newline, 0, to); at != to;
         at = next_set(masks.newline, at + 1, to)) {
      out.end_line(values_before(at + 1));
    }
  }
};

// Maps `chunks` chunks from data with the set's steps, reading each sixteen chunks' values
// eight at a time into items and counting them in `values` (the stretch's so far). Stops after
// the chunk in which the deriver finds a byte for the plain reading. Returns how many chunks it
// mapped. The reading is speculative: only the values of the fields the stretch's caller takes
// are committed. Each sixteen chunks are classified, then listed, then read, each in a loop of
// its own, so that every loop keeps its state and constants in registers; the deriver is copied
// in for that, as the masks it writes might otherwise be its own fields.
template <ClassesOf classes_of, ListFields list, ReadEight read_eight>
std::size_t map_chunks(const unsigned char* data, std::size_t chunks, const unsigned char* end,
                       MaskDeriver& deriver, StretchMasks& masks, std::size_t& values,
                       unsigned char* items) {
  MaskDeriver here = deriver;
  PendingFields pending;
  const unsigned char* const first = data;
  const std::size_t first_chunk = here.chunks_so_far();
  std::size_t k = 0;
  bool stop = false;
  while (k < chunks && !stop) {
    const std::size_t classified = k;
    for (const std::size_t batch = std::min(chunks, k + PendingFields::kChunks); k < batch && !stop;
         ++k, data += kChunkSize) {
      here.push(classes_of(data));
      stop = here.plain_found();
    }
    std::uint16_t* const from = pending.end();
    std::uint16_t* at = from;
    for (std::size_t j = classified; j < k; ++j) {
      masks.values_before[first_chunk + j] =
          static_cast<std::uint16_t>(values + static_cast<std::size_t>(at - from));
      at = list(at, masks.values[first_chunk + j], static_cast<unsigned>(j * kChunkSize));
    }
    values += static_cast<std::size_t>(at - from);
    pending.listed(at);
    const std::size_t ready = pending.ready();
    for (std::size_t i = 0; i < ready; i += PendingFields::kGroup)
      read_eight(first, pending.positions() + i, end, items + kItemSize * i);
    pending.drop(ready);
    items += kItemSize * ready;
  }
  if (pending.pad(static_cast<unsigned>(data - first)))
    read_eight(first, pending.positions(), end, items);
  deriver = here;
  return k;
}

// Maps the stretch at from (which stands at `place`, between two fields) into masks, reading
// its values to items.
template <ClassesOf classes_of, ListFields list, ReadEight read_eight>
Stretch map_stretch(const unsigned char* from, const unsigned char* end, LinePlace place,
                    StretchMasks& masks, unsigned char* items) {
  const auto room = static_cast<std::size_t>(end - from);
  const std::size_t size = std::min(kStretchSize, room);
  MaskDeriver deriver(place, masks);
  // The steps read ahead of their chunks: the chunks that have that much of the block after them
  // are read where they lie, the last few from a copy.
  const std::size_t in_place =
      room < kReadAhead ? 0 : std::min(size, room - kReadAhead) / kChunkSize;
  std::size_t values = 0;
  std::size_t mapped =
      map_chunks<classes_of, list, read_eight>(from, in_place, end, deriver, masks, values, items) *
      kChunkSize;
  if (!deriver.plain_found() && mapped < size) {
    // The bytes after the stretch read as NUL, but for the one byte after it in the block: it
    // tells whether the stretch's last byte comes right before a newline.
    unsigned char last[2 * kChunkSize + kReadAhead] = {};
    const std::size_t rest = size - mapped;
    std::memcpy(last, from + mapped, rest + (size != room ? 1 : 0));
    mapped += map_chunks<classes_of, list, read_eight>(last, (rest + kChunkSize - 1) / kChunkSize,
                                                       last + sizeof last, deriver, masks, values,
                                                       items + kItemSize * values) *
              kChunkSize;
  }
  const std::size_t mapped_size = std::min(size, mapped);
  deriver.end(mapped_size != room && from[mapped_size] == kNewline);
  masks.values_before[deriver.chunks_so_far()] = static_cast<std::uint16_t>(values);
  // The last complete field: everything if the last byte ends a field, else up to the start of
  // the field it cuts.
  const unsigned char last = from[mapped_size - 1];
  const std::size_t cut = last == kFieldSeparator || last == kNewline
                              ? mapped_size
                              : last_set(masks.starts, 0, mapped_size, 0);
  const std::size_t plain =
      deriver.plain_found() ? std::min(deriver.first_plain(), mapped_size) : mapped_size;
  return {mapped_size, place, plain, cut, masks};
}

}  // namespace fast_way

// Converts [begin, end) from `r` with a set's three steps: the vector steps from every place
// between two fields, the plain reading's step for each field they leave. Each set's `convert`
// is this, compiled with its instructions.
template <ClassesOf classes_of, ListFields list, ReadEight read_eight>
Converted convert_fast(Reading r, const unsigned char* const begin, const unsigned char* const end,
                       ValueWriter& out) {
  StretchMasks masks;  // not cleared: each stretch's are written before they are read
  const unsigned char* at = begin;
  while (at != end) {
    while (between_fields(r.place)) {
      unsigned char* items = out.reserve(kStretchSize + kValueSlack);
      const fast_way::Stretch s =
          fast_way::map_stretch<classes_of, list, read_eight>(at, end, r.place, masks, items);
      const std::size_t stop = s.stop();
      if (out.observed()) s.end_lines(stop, out);
      out.commit(s.values_before(stop));
      r.place = s.place_at(stop);
      const bool block_ends = at + s.size == end;
      at += stop;
      // The plain reading's turn: a field it must read, a field longer than a stretch, the field
      // the block's end cuts. Else the next stretch starts where this one's fields end.
      if (s.plain < s.size || stop == 0 || (block_ends && stop != s.size) || at == end) break;
    }
    if (at == end) break;
    const Converted field = read_plain<true>(r, at, end, out);
    at += field.taken;
    r = field.reading;
    if (r.place == LinePlace::kEnded) break;
  }
  return {r, static_cast<std::size_t>(at - begin)};
}

// A set's `convert`: the loop above with the set's three steps, made one function with the
// set's `attributes` (the instructions it is compiled for, and flatten, so that the loop, its
// steps and the plain reading's step are all compiled into it with those instructions).
#define MIRTAK_SET_CONVERT(attributes, classes_of, list, read_eight)             \
  attributes Converted convert(Reading reading, const unsigned char* begin,      \
                               const unsigned char* end, ValueWriter& out) {     \
    return convert_fast<classes_of, list, read_eight>(reading, begin, end, out); \
  }

}  // namespace mirtak
