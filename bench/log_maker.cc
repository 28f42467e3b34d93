#include "bench/log_maker.h"

#include <cstdio>

namespace mirtak::bench {

LogMaker::LogMaker(LogShape shape, std::uint64_t seed) : shape_(shape), state_(seed | 1) {}

std::uint64_t LogMaker::next() {  // xorshift64*: fast, and the same everywhere
  state_ ^= state_ >> 12;
  state_ ^= state_ << 25;
  state_ ^= state_ >> 27;
  return state_ * 0x2545F4914F6CDD1Du;
}

std::string LogMaker::header() const {
  std::string line = "SEQ";
  for (int c = 1; c < shape_.columns; ++c)
    line += "  CH" + std::to_string(c);
  return line + (shape_.crlf ? "\r\n" : "\n");
}

void LogMaker::append_line(std::string& out) {
  char field[16];
  const int n =
      std::snprintf(field, sizeof field, "%8llu", static_cast<unsigned long long>(++sequence_));
  out.append(field, static_cast<std::size_t>(n));
  for (int c = 1; c < shape_.columns; ++c) {
    const auto value = static_cast<int>(next() >> 48) - 32768;
    const int m = std::snprintf(field, sizeof field, "%7d", value);
    out.append(field, static_cast<std::size_t>(m));
  }
  out += shape_.crlf ? "\r\n" : "\n";
}

std::string LogMaker::terminator() const {
  return shape_.crlf ? "+ END\r\n" : "+ END\n";
}

std::string make_log(std::size_t size, LogShape shape) {
  LogMaker maker(shape);
  std::string log = maker.header();
  log.reserve(size + 256);
  while (log.size() < size)
    maker.append_line(log);
  return log + maker.terminator();
}

}  // namespace mirtak::bench
