// The vector steps' reading of a chunk (64 bytes, one bit per byte): from the classes of its bytes
// to where its fields start, which of them are values, and which bytes the plain reading must
// read (log/fast_way.h). The rules are written once, here; the loop every kernel set runs
// (log/fast_way.h) classifies a chunk with the set's step and hands it to a MaskDeriver, so that
// they are compiled with that set's own instructions.
#pragma once

#include <cstddef>
#include <cstdint>

#include "log/line_place.h"

namespace mirtak {

inline constexpr std::size_t kChunkSize = 64;

// One bit per byte of a chunk for each class. The vector steps look at a byte of the white-space
// range only where it is neither a newline nor right before one, and at a "+" only where it
// starts a line, so a kernel may leave the others out when that saves it work.
struct ByteClasses {
  std::uint64_t separator;  // the space
  std::uint64_t newline;
  std::uint64_t white_space_range;  // 0x08..0x0F: tab, LF, VT, FF, CR and neighbours
  std::uint64_t end_of_text;        // Ctrl-Z
  std::uint64_t plus;  // "+", the terminator's mark: at least each after a newline, and the first
};

// A stretch is the part of a block classified at a time; its masks: word k of each for chunk k.
// One record, so that a deriver holds one pointer to it.
inline constexpr std::size_t kStretchChunks = 128;
inline constexpr std::size_t kStretchSize = kStretchChunks * kChunkSize;  // 8 KiB

struct StretchMasks {
  std::uint64_t newline[kStretchChunks];
  std::uint64_t starts[kStretchChunks];  // a field's first byte: after spaces or a newline, or
                                         // a stretch's first
  std::uint64_t values[kStretchChunks];  // where a value is read
  // For chunk k, how many values come before it (for k up to the number of chunks), counted as
  // they are listed (log/fast_way.h).
  std::uint16_t values_before[kStretchChunks + 1];
};

// Per chunk, with what carries over from the chunk before:
//   field ends   the separator and the newline;
//   starts       a byte that is no field end, after one (a stretch starts after one);
//   first start  of each line, the dropped field: subtracting the bit at each line's start (and
//                at the stretch's start when the line has not begun) from the starts and
//                newlines borrows up to the next of them, so the bits that change run from the
//                line's start to its first start, or to its newline if it has none;
//   values       every other start, and a newline right after a space in a line that has begun
//                (the field of trailing spaces; reading there gives 0);
//   plain        a byte of 0x08..0x0F (but a newline, or a byte right before one), a Ctrl-Z,
//                and a "+" that starts a line: only the first is kept, as the vector steps
//                stop at its field.
// A carriage return right before the newline is read as a character of the line's last field:
// the number before it ends there, and alone after spaces it reads as the 0 of the trailing
// spaces it then ends, just as if it were dropped. (In the first field it is dropped with it.)
class MaskDeriver {
 public:
  // For a stretch that starts at `place`, its masks written to `out` from chunk 0 on.
  // (A place between two fields, log/line_place.h.)
  MaskDeriver(LinePlace place, StretchMasks& out)
      : out_(&out),
        newline_before_(place == LinePlace::kLineStart ? 1 : 0),
        line_open_before_(place != LinePlace::kAfterField ? 1 : 0),
        space_before_(place != LinePlace::kLineStart ? 1 : 0) {}

  // The next chunk, by the classes of its bytes.
  void push(const ByteClasses& c) {
    // A byte of the range at the end of the chunk before is left to the plain reading only if
    // this chunk does not start with a newline.
    const std::uint64_t plain_before = plain_before_ & ~((before_next_ & c.newline & 1) << 63);

    const std::uint64_t field_end = c.separator | c.newline;
    const std::uint64_t starts = ~field_end & ((field_end << 1) | field_end_before_);
    const std::uint64_t line_starts = (c.newline << 1) | newline_before_;
    const std::uint64_t open_lines = (c.newline << 1) | line_open_before_;
    const std::uint64_t after_space = (c.separator << 1) | space_before_;
    field_end_before_ = field_end >> 63;
    newline_before_ = c.newline >> 63;
    line_open_before_ = c.newline >> 63;
    space_before_ = c.separator >> 63;

    const std::uint64_t events = starts | c.newline;
    std::uint64_t rest = 0;
    const bool borrow_out = __builtin_sub_overflow(events, open_lines, &rest);
    borrow_ = __builtin_sub_overflow(rest, std::uint64_t{borrow_ ? 1u : 0u}, &rest) || borrow_out;
    const std::uint64_t not_begun = rest ^ events;  // from a line's start to its first event

    const std::uint64_t range = c.white_space_range & ~c.newline;
    const std::uint64_t always = c.end_of_text | (c.plus & line_starts);
    before_next_ = (range & ~always) >> 63;

    const std::uint64_t values = (starts | (c.newline & after_space)) & ~not_begun;
    out_->newline[chunk_] = c.newline;
    out_->starts[chunk_] = starts;
    out_->values[chunk_] = values;
    const std::uint64_t plain = (range & ~(c.newline >> 1)) | always;
    plain_before_ = plain;
    // Only the last byte's bit may yet be taken back, by the next chunk's first byte.
    const std::uint64_t plain_here = plain & ~(std::uint64_t{1} << 63);
    if (!plain_found_ && (plain_before | plain_here) != 0) {
      first_plain_ = plain_before != 0 ? (chunk_ - 1) * kChunkSize + lowest(plain_before)
                                       : chunk_ * kChunkSize + lowest(plain_here);
      plain_found_ = true;
    }
    ++chunk_;
  }

  // How many chunks so far.
  std::size_t chunks_so_far() const { return chunk_; }

  // Whether the chunks so far hold a byte for the plain reading: mapping further is wasted, as
  // the vector steps stop at that byte's field. After end(), whether the stretch holds one at all.
  bool plain_found() const { return plain_found_; }
  // The first of them, once found.
  std::size_t first_plain() const { return first_plain_; }

  // The stretch's end; whether a newline comes right after it.
  void end(bool newline_follows) {
    const std::uint64_t last = plain_before_ & ~((newline_follows ? before_next_ : 0) << 63);
    if (!plain_found_ && last != 0) {
      first_plain_ = (chunk_ - 1) * kChunkSize + lowest(last);
      plain_found_ = true;
    }
  }

 private:
  static std::size_t lowest(std::uint64_t bits) {
    return static_cast<std::size_t>(__builtin_ctzll(bits));
  }

  StretchMasks* out_;
  std::size_t chunk_ = 0;
  std::uint64_t field_end_before_ = 1;
  std::uint64_t newline_before_;
  std::uint64_t line_open_before_;
  std::uint64_t space_before_;
  std::uint64_t before_next_ = 0;   // the last chunk's last byte would be left to the plain reading
  std::uint64_t plain_before_ = 0;  // the last chunk's plain bits, its last byte's not final
  bool borrow_ = false;
  bool plain_found_ = false;
  std::size_t first_plain_ = 0;
};

}  // namespace mirtak
