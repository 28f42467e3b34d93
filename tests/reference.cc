#include "tests/reference.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace mirtak::test {

namespace {

std::int16_t reference_number(const std::string& field) {
  std::size_t i = 0;
  while (i < field.size() &&
         std::string_view(" \t\n\v\f\r").find(field[i]) != std::string_view::npos)
    ++i;
  bool negative = false;
  if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
  std::uint64_t n = 0;  // modulo 2^32
  for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i)
    n = (n * 10 + static_cast<std::uint64_t>(field[i] - '0')) % 4294967296u;
  if (negative) n = (4294967296u - n) % 4294967296u;
  const auto low = static_cast<std::int32_t>(n % 65536);
  return static_cast<std::int16_t>(low < 32768 ? low : low - 65536);
}

}  // namespace

std::vector<std::vector<std::int16_t>> reference_lines(std::string log) {
  if (const std::size_t end = log.find('\x1a'); end != std::string::npos) log.resize(end);
  log.erase(std::remove(log.begin(), log.end(), '\r'), log.end());

  std::vector<std::string> lines;  // each with its newline, the last perhaps without
  for (std::size_t start = 0; start < log.size();) {
    const std::size_t newline = log.find('\n', start);
    const std::size_t end = newline == std::string::npos ? log.size() : newline + 1;
    lines.push_back(log.substr(start, end - start));
    start = end;
  }

  std::vector<std::vector<std::int16_t>> values;
  for (std::size_t l = 1; l < lines.size() && lines[l][0] != '+'; ++l) {
    std::vector<std::string> fields(1);
    bool begun = false;
    for (const char c : lines[l]) {
      if (c == ' ' && begun) {
        fields.emplace_back();
        begun = false;
      }
      fields.back() += c;
      if (c != ' ') begun = true;
    }
    values.emplace_back();
    for (std::size_t f = 1; f < fields.size(); ++f)
      values.back().push_back(reference_number(fields[f]));
  }
  return values;
}

std::vector<std::int16_t> reference_values(std::string log) {
  const std::vector<std::vector<std::int16_t>> lines = reference_lines(std::move(log));
  std::vector<std::int16_t> values;
  for (const std::vector<std::int16_t>& line : lines)
    values.insert(values.end(), line.begin(), line.end());
  return values;
}

std::vector<std::size_t> reference_line_counts(std::string log) {
  const std::vector<std::vector<std::int16_t>> lines = reference_lines(std::move(log));
  std::vector<std::size_t> counts(lines.size());
  std::transform(lines.begin(), lines.end(), counts.begin(),
                 [](const std::vector<std::int16_t>& line) { return line.size(); });
  return counts;
}

}  // namespace mirtak::test
