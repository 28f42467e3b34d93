// Whether some bytes, converted as a log, yield given bytes: the question an existing file is put
// before it is overwritten. The slip `MIRTAK X.MX X.LOG`, where X.MX was converted from X.LOG,
// names as the value file a log that converts to exactly what the run is about to read; a file
// read as a log is converted by the conversion core itself, in fixed storage, and what it yields
// is compared as it comes, so the comparison stops at the first value that differs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "log/decoder.h"
#include "output/value_writer.h"

namespace mirtak {

// Bytes read at an offset: an existing file, through the descriptor that will write it, or
// memory.
class ByteSource {
 public:
  // Reads up to size bytes at offset; fewer only at the end. The count read, or -1 on a read
  // error.
  virtual std::ptrdiff_t read_at(unsigned char* buffer, std::size_t size, std::uint64_t offset) = 0;

 protected:
  ~ByteSource() = default;
};

class MemoryBytes final : public ByteSource {
 public:
  MemoryBytes(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}
  std::ptrdiff_t read_at(unsigned char* buffer, std::size_t size, std::uint64_t offset) override;

 private:
  const unsigned char* data_;
  std::size_t size_;
};

class YieldCheck {
 public:
  enum class Result : unsigned char { kAgrees, kDiffers, kUnreadable };

  // The first read asks for this much, each later one for twice as much, up to kBlockSize: a
  // file that differs at its first value costs one small read.
  static constexpr std::size_t kFirstRead = 4096;
  static constexpr std::size_t kBlockSize = std::size_t{64} * 1024;

  // cppcheck-suppress uninitMemberVar ; the block holds only what a read fills
  YieldCheck() = default;
  YieldCheck(const YieldCheck&) = delete;
  YieldCheck& operator=(const YieldCheck&) = delete;

  // Converts the first `reach` bytes of source (all of it, when shorter) as a log and compares
  // what that yields with expected[0, size). kAgrees when they agree over all of expected, or
  // over all the conversion yields if that is less, and that covers at least one whole value;
  // kDiffers at the first byte that differs, or when less than a value came out.
  Result compare(ByteSource& source, std::uint64_t reach, const unsigned char* expected,
                 std::size_t size);

 private:
  // Takes the values as the writer hands them on and compares them with the expected bytes;
  // refuses more once they differ or once every expected byte has been matched.
  class Comparison final : public ByteSink {
   public:
    void start(const unsigned char* expected, std::size_t size);
    bool write(const unsigned char* data, std::size_t size) override;

    bool differs() const { return differs_; }
    bool complete() const { return matched_ == size_; }
    std::size_t matched() const { return matched_; }

   private:
    const unsigned char* expected_ = nullptr;
    std::size_t size_ = 0;
    std::size_t matched_ = 0;
    bool differs_ = false;
  };

  // Converts a block read; false once the comparison is decided or the log's data has ended.
  bool feed(std::size_t size);

  Comparison comparison_;
  std::optional<ValueWriter> writer_;  // a new writer and decoder for each comparison
  std::optional<Decoder> decoder_;
  unsigned char block_[kBlockSize];  // not cleared: only what a read fills is converted
};

}  // namespace mirtak
