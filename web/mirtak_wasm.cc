// The conversion core as the page (web/) calls it from JavaScript: a conversion started on one
// of the kernel sets this module holds, the log given a block at a time into the module's own
// block, the value file's bytes taken after each block, the end, and the shape of the values
// (output/value_shape.h) with the first lines for the plot (web/first_lines.h), where the log's
// data ended, and whether its start looks like text (web/text_look.h). One conversion at a time;
// all its storage is part of the module, fixed in size, so memory never grows, whatever the log.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <optional>

#include "log/decoder.h"
#include "log/kernel_sets.h"
#include "output/value_shape.h"
#include "output/value_writer.h"
#include "web/first_lines.h"
#include "web/text_look.h"

namespace mirtak {
namespace {

// The most of the log given at a time.
constexpr std::size_t kBlockSize = std::size_t{1024} * 1024;
// What one block can give: each value takes at least two bytes of the log (a space and a
// character, or a space and the newline), and a value begun in the block before ends in this
// one. The rest of the writer's buffer is handed on at the end of every block.
constexpr std::size_t kOutputSize = kBlockSize + 2 * kItemSize;

// The value file's bytes of one block, for the page to take.
class Output final : public ByteSink {
 public:
  bool write(const unsigned char* data, std::size_t size) override {
    if (size > kOutputSize - used_) return false;
    std::memcpy(bytes_ + used_, data, size);
    used_ += size;
    return true;
  }

  const unsigned char* bytes() const { return bytes_; }
  std::size_t size() const { return used_; }
  void taken() { used_ = 0; }

 private:
  std::size_t used_ = 0;
  // cppcheck-suppress uninitMemberVarPrivate ; not cleared: only what write() counts is taken
  unsigned char bytes_[kOutputSize];
};

// What the page shows of the values: the shape, and the first lines for the plot.
class Shown final : public LineValues {
 public:
  void take_values(const unsigned char* items, std::size_t count) override {
    shape.take_values(items, count);
    first_lines.take_values(items, count);
  }
  void line_ended() override {
    shape.line_ended();
    first_lines.line_ended();
  }

  ValueShape shape;
  FirstLines first_lines;
};

struct PageConversion {
  // cppcheck-suppress uninitMemberVar ; the output's bytes are not cleared (above)
  explicit PageConversion(const KernelSet& set) : writer(output), decoder(writer, set) {
    writer.observe(shown);
  }

  Shown shown;
  Output output;
  ValueWriter writer;
  Decoder decoder;
  TextLook look;
  bool ended = false;          // the data has ended: nothing more is given
  std::uint64_t data_end = 0;  // bytes of the log before its data ended, or given so far
};

struct ModuleStorage {
  // cppcheck-suppress unusedStructMember ; filled by the page, read by mirtak_feed()
  unsigned char block[kBlockSize];
  // Always one: what is asked of it before the first start is of an empty log.
  std::optional<PageConversion> conversion{std::in_place, best_kernel_set()};
  // cppcheck-suppress unusedStructMember ; filled by mirtak_first_other_lines()
  mirtak::ValueShape::OtherLine other_lines[mirtak::ValueShape::kListed];
};

ModuleStorage storage;

// Hands on what the writer holds; false if the values did not fit the output.
bool hand_on(PageConversion& c) {
  return c.writer.flush();
}

}  // namespace
}  // namespace mirtak

#define MIRTAK_EXPORT(name) extern "C" __attribute__((export_name(#name)))

using mirtak::storage;

// The kernel sets of this module, fastest first; the last is the plain way.
MIRTAK_EXPORT(mirtak_kernel_sets) int mirtak_kernel_sets() {
  return static_cast<int>(std::size(mirtak::kKernelSets));
}
// The set's name; none (an empty name) for an index outside the table.
MIRTAK_EXPORT(mirtak_kernel_set_name) const char* mirtak_kernel_set_name(int set) {
  return set >= 0 && set < mirtak_kernel_sets() ? mirtak::kKernelSets[set].name : "";
}

// The writer's piece, in bytes: what the tests take the sizes of their logs from.
MIRTAK_EXPORT(mirtak_writer_piece_size) std::size_t mirtak_writer_piece_size() {
  return mirtak::ValueWriter::kPieceSize;
}

// Where the page puts each block of the log, and how much it holds.
MIRTAK_EXPORT(mirtak_block) unsigned char* mirtak_block() {
  return storage.block;
}
MIRTAK_EXPORT(mirtak_block_size) std::size_t mirtak_block_size() {
  return mirtak::kBlockSize;
}

// A new conversion on kernel set `set` (an index of the table), or on the best this module
// runs for any other number. Anything of the one before is forgotten.
MIRTAK_EXPORT(mirtak_start) void mirtak_start(int set) {
  const bool listed = set >= 0 && set < mirtak_kernel_sets();
  storage.conversion.reset();
  storage.conversion.emplace(listed ? mirtak::kKernelSets[set] : mirtak::best_kernel_set());
}

// Converts the first `size` bytes of the block. Returns 1 if more of the log is wanted, 0 once
// its data has ended (then only mirtak_finish), -1 if the values could not be handed on. The
// values are then at mirtak_values(), until the next call.
MIRTAK_EXPORT(mirtak_feed) int mirtak_feed(std::size_t size) {
  mirtak::PageConversion& c = *storage.conversion;
  c.output.taken();
  if (size > mirtak::kBlockSize) return -1;
  if (!c.ended) {
    c.look.look(storage.block, size);
    c.ended = !c.decoder.feed(storage.block, size);
    c.data_end += c.ended ? c.decoder.data_end() : size;
  }
  if (!hand_on(c)) return -1;
  return c.ended ? 0 : 1;
}

// The end of the log: a last data line without a newline still counts. The last values are
// then at mirtak_values(); returns 0, or -1 as mirtak_feed.
MIRTAK_EXPORT(mirtak_finish) int mirtak_finish() {
  mirtak::PageConversion& c = *storage.conversion;
  c.output.taken();
  c.decoder.finish();
  c.ended = true;
  return hand_on(c) ? 0 : -1;
}

// Where the log's data ended (at the terminator line's "+" or at a Ctrl-Z), in bytes from the
// log's start; the bytes given so far if it has not ended.
MIRTAK_EXPORT(mirtak_data_end) double mirtak_data_end() {
  return static_cast<double>(storage.conversion->data_end);
}

// The first control byte that no text holds among the first bytes of the log's data
// (web/text_look.h): where it is, counted from 0, or -1 if there is none; and which byte it is.
MIRTAK_EXPORT(mirtak_foreign_byte_at) double mirtak_foreign_byte_at() {
  const mirtak::PageConversion& c = *storage.conversion;
  const bool in_data = c.look.found() && c.look.at() < c.data_end;
  return in_data ? static_cast<double>(c.look.at()) : -1;
}
MIRTAK_EXPORT(mirtak_foreign_byte) int mirtak_foreign_byte() {
  return storage.conversion->look.byte();
}

MIRTAK_EXPORT(mirtak_values) const unsigned char* mirtak_values() {
  return storage.conversion->output.bytes();
}
MIRTAK_EXPORT(mirtak_values_size) std::size_t mirtak_values_size() {
  return storage.conversion->output.size();
}

// The shape, as far as the log has been converted. Counts are doubles, exact far past any log's
// number of lines or values, as JavaScript takes them.
namespace {
const mirtak::ValueShape& shape() {
  return storage.conversion->shown.shape;
}
const mirtak::FirstLines& first_lines() {
  return storage.conversion->shown.first_lines;
}
}  // namespace

MIRTAK_EXPORT(mirtak_data_lines) double mirtak_data_lines() {
  return static_cast<double>(shape().data_lines());
}
MIRTAK_EXPORT(mirtak_value_count) double mirtak_value_count() {
  return static_cast<double>(shape().values());
}
MIRTAK_EXPORT(mirtak_values_per_line) double mirtak_values_per_line() {
  return static_cast<double>(shape().values_per_line());
}
MIRTAK_EXPORT(mirtak_other_lines) double mirtak_other_lines() {
  return static_cast<double>(shape().other_lines());
}
// Lists the first lines of another count; returns how many (pairs of line number and count, two
// 64-bit numbers each, at mirtak_first_other_line_list()).
MIRTAK_EXPORT(mirtak_first_other_lines) std::size_t mirtak_first_other_lines() {
  return shape().first_other_lines(storage.other_lines);
}
MIRTAK_EXPORT(mirtak_first_other_line_list) const void* mirtak_first_other_line_list() {
  return storage.other_lines;
}
MIRTAK_EXPORT(mirtak_columns) std::size_t mirtak_columns() {
  return shape().columns();
}
MIRTAK_EXPORT(mirtak_columns_left_out) double mirtak_columns_left_out() {
  return static_cast<double>(shape().columns_left_out());
}
// The range of a column below mirtak_columns(); 0 for any other.
MIRTAK_EXPORT(mirtak_smallest) int mirtak_smallest(std::size_t column) {
  return column < shape().columns() ? shape().smallest(column) : 0;
}
MIRTAK_EXPORT(mirtak_largest) int mirtak_largest(std::size_t column) {
  return column < shape().columns() ? shape().largest(column) : 0;
}
MIRTAK_EXPORT(mirtak_first_values) const std::int16_t* mirtak_first_values() {
  return first_lines().values();
}
MIRTAK_EXPORT(mirtak_first_values_kept) std::size_t mirtak_first_values_kept() {
  return first_lines().values_kept();
}
MIRTAK_EXPORT(mirtak_first_line_ends) const std::uint32_t* mirtak_first_line_ends() {
  return first_lines().line_ends();
}
MIRTAK_EXPORT(mirtak_first_lines_kept) std::size_t mirtak_first_lines_kept() {
  return first_lines().lines_kept();
}
