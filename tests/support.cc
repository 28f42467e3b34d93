#include "tests/support.h"

#include <algorithm>
#include <iterator>
#include <numeric>
#include <stdexcept>

#include "log/decoder.h"
#include "output/value_writer.h"

namespace mirtak::test {

namespace {

class MemorySink final : public ByteSink {
 public:
  bool write(const unsigned char* data, std::size_t size) override {
    bytes.append(reinterpret_cast<const char*>(data), size);
    return true;
  }
  std::string bytes;
};

}  // namespace

std::string bytes_of(std::string_view notation) {
  static const struct {
    std::string_view token;
    char byte;
  } kTokens[] = {{"·", ' '},      {"⏎", '\n'},    {"<CR>", '\r'}, {"<^Z>", '\x1a'},
                 {"<TAB>", '\t'}, {"<VT>", '\v'}, {"<FF>", '\f'}, {"<NUL>", '\0'}};
  std::string bytes;
  while (!notation.empty()) {
    bool matched = false;
    for (const auto& t : kTokens) {
      // A loop reads better here than find_if: it also consumes the token it finds.
      // cppcheck-suppress useStlAlgorithm
      if (notation.substr(0, t.token.size()) == t.token) {
        bytes += t.byte;
        notation.remove_prefix(t.token.size());
        matched = true;
        break;
      }
    }
    if (matched) continue;
    if (notation.substr(0, 2) == "<x") {
      const std::size_t close = notation.find('>');
      if (close != 4) throw std::invalid_argument("bad <xHH> token");
      bytes += static_cast<char>(std::stoi(std::string(notation.substr(2, 2)), nullptr, 16));
      notation.remove_prefix(5);
      continue;
    }
    bytes += notation.front();
    notation.remove_prefix(1);
  }
  return bytes;
}

std::vector<const KernelSet*> available_kernel_sets() {
  std::vector<const KernelSet*> sets;
  for (const KernelSet& set : kKernelSets) {
    if (set.runs_here()) sets.push_back(&set);
  }
  return sets;
}

std::string convert(std::string_view log, const std::vector<std::size_t>& blocks,
                    const KernelSet& kernel_set, Feed feed, LineValues* lines) {
  MemorySink sink;
  ValueWriter writer(sink);
  Decoder decoder(writer, kernel_set);
  if (lines != nullptr) writer.observe(*lines);
  const std::string copy(log);  // sized exactly: a read past its end is caught by the sanitizers
  std::string buffer;           // for Feed::kOneBuffer: sized once, so it never moves
  buffer.reserve(copy.size());
  std::size_t at = 0;
  bool wanted = true;
  for (std::size_t i = 0; wanted && at < copy.size(); ++i) {
    const std::size_t cut = blocks[i % blocks.size()];
    const std::size_t size = cut == 0 ? copy.size() - at : std::min(cut, copy.size() - at);
    const char* data = copy.data() + at;
    if (feed == Feed::kOneBuffer) data = buffer.assign(data, size).data();
    wanted = decoder.feed(reinterpret_cast<const unsigned char*>(data), size);
    at += size;
  }
  // The bytes the log gave stay as they were.
  if (copy != log) throw std::logic_error("the decoder changed the bytes it was given");
  decoder.finish();
  writer.flush();
  return sink.bytes;
}

std::vector<std::uint64_t> line_ends_of(const std::vector<std::size_t>& counts) {
  std::vector<std::uint64_t> ends(counts.begin(), counts.end());
  std::partial_sum(ends.begin(), ends.end(), ends.begin());
  return ends;
}

std::string items_of(const std::vector<std::int16_t>& values) {
  std::string bytes;
  for (const std::int16_t v : values) {
    const auto bits = static_cast<std::uint16_t>(v);
    bytes += static_cast<char>(bits / 256);
    bytes += static_cast<char>(bits % 256);
  }
  return bytes;
}

}  // namespace mirtak::test
