// The value file: a flat sequence of 2-byte items and nothing else (no header, count, line marks
// or padding). Each item is a signed 16-bit two's-complement value, most significant byte first
// on every machine. Items follow the log's order: data line by data line, field by field.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace mirtak {

// Where the value file's bytes go: the file itself in a run, memory in the tests.
class ByteSink {
 public:
  // Writes all of the bytes or reports failure.
  virtual bool write(const unsigned char* data, std::size_t size) = 0;

 protected:
  ~ByteSink() = default;
};

inline constexpr std::size_t kItemSize = 2;

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ || __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__,
              "the host's byte order is known");

// An item's two bytes as a 16-bit word in host order and back: swapped on a little-endian host,
// so that the most significant byte comes first whatever the host. One 2-byte load or store,
// which compilers also make vector code of in a loop.
inline std::uint16_t item_order(std::uint16_t bits) {
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  return static_cast<std::uint16_t>(bits << 8 | bits >> 8);
#else
  return bits;
#endif
}

// Stores one item at out[0..1].
inline void store_item(std::int16_t value, unsigned char* out) {
  const std::uint16_t bits = item_order(static_cast<std::uint16_t>(value));
  std::memcpy(out, &bits, sizeof bits);
}

// The item at in[0..1].
inline std::int16_t load_item(const unsigned char* in) {
  std::uint16_t bits = 0;
  std::memcpy(&bits, in, sizeof bits);
  return static_cast<std::int16_t>(item_order(bits));
}

// Who is told of the values as the writer takes them, and of where each data line ends: the value
// file has no line marks, so a reader of its shape (output/value_shape.h) learns them here, from
// the one owner of the items, in the order they are written and before any of them is handed on
// or moved.
class LineValues {
 public:
  // The next `count` values of the current data line, as items (2 bytes each), in order; one
  // line's values may come in several calls.
  virtual void take_values(const unsigned char* items, std::size_t count) = 0;
  // The current data line has ended: the next values are the next line's.
  virtual void line_ended() = 0;

 protected:
  ~LineValues() = default;
};

// Gathers items and hands them to the sink in whole pieces of kPieceSize bytes, the last piece
// of a run excepted: pieces the size of the system's pages and caches write fastest. Room for
// one more reservation lies past the piece; what a commit puts there moves to the front once the
// piece has gone out. The buffer is part of the writer: nothing is allocated, so a writer kept
// for a whole run is fixed storage.
class ValueWriter {
 public:
  static constexpr std::size_t kPieceSize = std::size_t{64} * 1024;
  // Items in one reservation: a stretch's values, and the few a kernel may write past them
  // (log/fast_way.h holds the two equal).
  static constexpr std::size_t kMaxReserve = 8192 + 8;
  static_assert(kPieceSize % kItemSize == 0, "items never straddle two pieces");

  explicit ValueWriter(ByteSink& sink);

  void put(std::int16_t value) {
    store_item(value, buffer_ + used_);
    used_ += kItemSize;
    if (used_ == kPieceSize) write_piece();
  }

  // Room for `items` more items (at most kMaxReserve), to be filled by the caller and then
  // counted in with commit().
  unsigned char* reserve(std::size_t items) {
    assert(items <= kMaxReserve);
    static_cast<void>(items);
    return buffer_ + used_;
  }
  void commit(std::size_t items) {
    used_ += items * kItemSize;
    if (used_ >= kPieceSize) write_piece();
  }

  // Tells `lines` of every value and every line's end from now on. The console tool observes
  // nothing: then each line's end costs one test.
  void observe(LineValues& lines) {
    lines_ = &lines;
    told_ = used_;
  }
  bool observed() const { return lines_ != nullptr; }

  // A data line has ended after the items put or committed so far and the first `reserved` items
  // of the reservation being filled (which is committed after its lines' ends are told).
  void end_line(std::size_t reserved = 0) {
    if (lines_ == nullptr) return;
    tell(used_ + reserved * kItemSize);
    lines_->line_ended();
  }

  // Hands every gathered item to the sink: the run's last piece. Once a write has failed,
  // nothing more is written (the file keeps what it had) and this keeps returning false.
  bool flush();

  bool failed() const { return failed_; }

 private:
  // Writes the first kPieceSize bytes and moves what lies past them to the front.
  void write_piece();
  bool write(std::size_t size);
  // Tells the observer of the items up to byte `to` of the buffer that it has not been told of.
  void tell(std::size_t to) {
    if (to != told_) lines_->take_values(buffer_ + told_, (to - told_) / kItemSize);
    told_ = to;
  }

  ByteSink& sink_;
  std::size_t used_ = 0;  // below kPieceSize between calls
  bool failed_ = false;
  LineValues* lines_ = nullptr;  // none in the console tool
  std::size_t told_ = 0;         // the observer has been told of the buffer's items before this
  // Not cleared: only what put() and commit() count goes out.
  unsigned char buffer_[kPieceSize + kMaxReserve * kItemSize];
};

}  // namespace mirtak
