// Random logs, cut at random places, against a reference written straight from the rules over
// the whole log in memory: lines and fields as strings, nothing streamed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tests/support.h"

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

std::vector<std::int16_t> reference_values(std::string log) {
  if (const std::size_t end = log.find('\x1a'); end != std::string::npos) log.resize(end);
  log.erase(std::remove(log.begin(), log.end(), '\r'), log.end());

  std::vector<std::string> lines;  // each with its newline, the last perhaps without
  for (std::size_t start = 0; start < log.size();) {
    const std::size_t newline = log.find('\n', start);
    const std::size_t end = newline == std::string::npos ? log.size() : newline + 1;
    lines.push_back(log.substr(start, end - start));
    start = end;
  }

  std::vector<std::int16_t> values;
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
    for (std::size_t f = 1; f < fields.size(); ++f)
      values.push_back(reference_number(fields[f]));
  }
  return values;
}

std::string random_log(std::mt19937& rng) {
  static const char* const kPieces[] = {
      " ",     "  ",          "    ", "\n",        "\r\n", "\r",   "1",    "23", "-",  "+",
      "7",     "-4",          "\t",   "A",         ".",    "9",    "0",    "\v", "e",  "65536",
      "40000", "99999999999", "\n+",  "\n+ END\n", "\0",   "\xff", "\x80", "5",  "12", "-32769"};
  std::uniform_int_distribution<std::size_t> pick(0, std::size(kPieces) - 1);
  std::uniform_int_distribution<int> length(0, 400);
  std::uniform_int_distribution<int> percent(0, 99);
  std::string log;
  if (percent(rng) < 90) log = "HEADER 1 2\r\n";
  for (int n = length(rng); n > 0; --n) {
    const char* piece = kPieces[pick(rng)];
    log += piece[0] == '\0' ? std::string(1, '\0') : std::string(piece);
    if (percent(rng) == 0) log += '\x1a';
  }
  return log;
}

TEST(RandomLogs, SameValuesAsReferenceHoweverCut) {
  std::mt19937 rng(20261208);  // NOLINT(cert-msc32-c,cert-msc51-cpp): reproducible on failure
  for (int round = 0; round < 3000; ++round) {
    const std::string log = random_log(rng);
    const std::string expected = items_of(reference_values(log));
    std::uniform_int_distribution<std::size_t> piece(1, log.size() + 1);
    const std::vector<std::size_t> pieces = {piece(rng), piece(rng), piece(rng)};
    ASSERT_EQ(convert(log), expected) << "round " << round;
    ASSERT_EQ(convert(log, pieces), expected) << "round " << round;
  }
}

}  // namespace
}  // namespace mirtak::test
