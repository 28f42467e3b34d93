// Benchmark logs as long recordings write them: a header line, then data lines of a sequence
// number followed by right-aligned columns of width 7 holding values across -32768..32767,
// then "+ END". The same seed gives the same log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace mirtak::bench {

struct LogShape {
  int columns = 10;  // fields per data line, the sequence number included
  bool crlf = true;  // CR LF line ends, or LF alone
};

class LogMaker {
 public:
  explicit LogMaker(LogShape shape, std::uint64_t seed = 20261208);

  std::string header() const;
  // Appends the next data line to out.
  void append_line(std::string& out);
  std::string terminator() const;

 private:
  std::uint64_t next();

  LogShape shape_;
  std::uint64_t state_;
  std::uint64_t sequence_ = 0;
};

// A whole log of at least `size` bytes, in memory (for the micro-benchmarks).
std::string make_log(std::size_t size, LogShape shape);

}  // namespace mirtak::bench
