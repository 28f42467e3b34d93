#include "run/shape_report.h"

#include <algorithm>
#include <iterator>
#include <type_traits>

namespace mirtak {

namespace {

// Where numbers in a report for people are grouped by thousands.
constexpr bool kGrouped = true;

// The length of the UTF-8 character that starts at p (left bytes there), or 0 if none does.
std::size_t utf8_length(const unsigned char* p, std::size_t left) {
  const unsigned char c = p[0];
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;  // the second byte's range
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3;
    if (c == 0xE0) low = 0xA0;   // no overlong forms
    if (c == 0xED) high = 0x9F;  // no surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  }
  if (length == 0 || left < length || p[1] < low || p[1] > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (p[i] < 0x80 || p[i] > 0xBF) return 0;
  }
  return length;
}

}  // namespace

void ReportText::add(std::string_view text) {
  const std::size_t size = std::min(text.size(), kRoom - used_);
  std::copy_n(text.data(), size, chars_ + used_);
  used_ += size;
}

void ReportText::add_number(long long number, bool grouped) {
  char digits[32];
  std::size_t size = 0;
  unsigned long long magnitude = number < 0 ? 0ULL - static_cast<unsigned long long>(number)
                                            : static_cast<unsigned long long>(number);
  do {
    if (grouped && size % 4 == 3) digits[size++] = ',';
    digits[size++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (number < 0) digits[size++] = '-';
  std::reverse(digits, digits + size);
  add(std::string_view(digits, size));
}

void ShapeReport::begin(Console& out) {
  if (json_) out.print("[");
}

void ShapeReport::end(Console& out) {
  if (json_) out.print(first_ ? "]\n" : "\n]\n");
}

void ShapeReport::print(Console& out, NameView log, const ValueShape& shape) {
  before_name_.clear();
  after_name_.clear();
  if (json_) {
    print_json(out, log, shape);
  } else {
    print_text(out, log, shape);
  }
  first_ = false;
}

// NAME: 24 data lines, 216 values
//   values per line: 9, on every line
//   column   smallest    largest
//        1       -120        340
void ShapeReport::print_text(Console& out, NameView log, const ValueShape& shape) {
  ReportText& t = after_name_;
  const auto count = [&t](std::uint64_t n, std::string_view one, std::string_view many) {
    t.add_number(static_cast<long long>(n), kGrouped);
    t.add(n == 1 ? one : many);
  };
  if (!first_) before_name_.add("\n");
  t.add(": ");
  count(shape.data_lines(), " data line, ", " data lines, ");
  count(shape.values(), " value\n", " values\n");
  if (shape.data_lines() == 0) {
    out.print(before_name_.text(), log, t.text());
    return;
  }
  t.add("  values per line: ");
  t.add_number(static_cast<long long>(shape.values_per_line()), kGrouped);
  if (shape.other_lines() == 0) {
    t.add(", on every line\n");
  } else {
    t.add(", on ");
    t.add_number(static_cast<long long>(shape.data_lines() - shape.other_lines()), kGrouped);
    t.add(" of ");
    t.add_number(static_cast<long long>(shape.data_lines()), kGrouped);
    t.add(" lines\n  lines with another count: ");
    t.add_number(static_cast<long long>(shape.other_lines()), kGrouped);
    t.add(" (a space at a line's end gives one more value, 0)\n");
    ValueShape::OtherLine other[ValueShape::kListed];
    const std::size_t listed = shape.first_other_lines(other);
    for (std::size_t i = 0; i < listed; ++i) {
      t.add("    line ");
      t.add_number(static_cast<long long>(other[i].line), kGrouped);
      t.add(": ");
      count(other[i].values, " value\n", " values\n");
    }
    if (shape.other_lines() > listed) {
      t.add("    and ");
      count(shape.other_lines() - listed, " more line\n", " more lines\n");
    }
  }
  if (shape.columns() != 0) {
    t.add("  column   smallest    largest\n");
    for (std::size_t k = 0; k < shape.columns(); ++k) {
      char row[40];
      const auto right = [&row](std::size_t end, long long n) {
        bool negative = n < 0;
        unsigned long long m = negative ? 0ULL - static_cast<unsigned long long>(n)
                                        : static_cast<unsigned long long>(n);
        std::size_t at = end;
        do {
          row[--at] = static_cast<char>('0' + m % 10);
          m /= 10;
        } while (m != 0);
        if (negative) row[--at] = '-';
      };
      std::fill(row, row + sizeof row, ' ');
      right(8, static_cast<long long>(k) + 1);
      right(19, shape.smallest(k));
      right(30, shape.largest(k));
      row[30] = '\n';
      t.add(std::string_view(row, 31));
    }
  }
  if (shape.columns_left_out() != 0) {
    t.add("  columns ");
    t.add_number(static_cast<long long>(ValueShape::kColumns) + 1, kGrouped);
    t.add("-");
    t.add_number(static_cast<long long>(ValueShape::kColumns) +
                     static_cast<long long>(shape.columns_left_out()),
                 kGrouped);
    t.add(" not shown\n");
  }
  out.print(before_name_.text(), log, t.text());
}

void ShapeReport::print_json(Console& out, NameView log, const ValueShape& shape) {
  ReportText& t = after_name_;
  const auto number = [&t](long long n) { t.add_number(n, false); };
  const auto key = [&t](std::string_view name) {
    t.add(", \"");
    t.add(name);
    t.add("\": ");
  };
  before_name_.add(first_ ? "\n{\"log\": \"" : ",\n{\"log\": \"");
  t.add("\"");
  key("data_lines");
  number(static_cast<long long>(shape.data_lines()));
  key("values");
  number(static_cast<long long>(shape.values()));
  key("values_per_line");
  number(static_cast<long long>(shape.values_per_line()));
  key("other_lines");
  number(static_cast<long long>(shape.other_lines()));
  key("first_other_lines");
  ValueShape::OtherLine other[ValueShape::kListed];
  const std::size_t listed = shape.first_other_lines(other);
  t.add("[");
  for (std::size_t i = 0; i < listed; ++i) {
    t.add(i == 0 ? "[" : ", [");
    number(static_cast<long long>(other[i].line));
    t.add(", ");
    number(static_cast<long long>(other[i].values));
    t.add("]");
  }
  t.add("]");
  key("columns");
  t.add("[");
  for (std::size_t k = 0; k < shape.columns(); ++k) {
    t.add(k == 0 ? "[" : ", [");
    number(shape.smallest(k));
    t.add(", ");
    number(shape.largest(k));
    t.add("]");
  }
  t.add("]");
  key("columns_left_out");
  number(static_cast<long long>(shape.columns_left_out()));
  t.add("}");
  out.print(before_name_.text(), json_escaped(log), t.text());
}

NameView ShapeReport::json_escaped(NameView name) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::size_t used = 0;
  const auto put = [this, &used](std::string_view text) {
    for (const char c : text)
      escaped_[used++] = static_cast<NameChar>(static_cast<unsigned char>(c));
  };
  for (std::size_t i = 0; i < name.size() && used + 12 <= std::size(escaped_); ++i) {
    const NameChar c = name[i];
    const auto code = static_cast<std::make_unsigned_t<NameChar>>(c);
    if (c == '"' || c == '\\') {
      escaped_[used++] = '\\';
      escaped_[used++] = c;
    } else if (code < 0x20) {
      const char hex[] = {'\\', 'u', '0', '0', kHex[code >> 4], kHex[code & 15]};
      put(std::string_view(hex, sizeof hex));
    } else if (sizeof(NameChar) == 1 && code >= 0x80) {
      const auto* bytes = reinterpret_cast<const unsigned char*>(name.data()) + i;
      const std::size_t length = utf8_length(bytes, name.size() - i);
      if (length == 0) {
        put("\\ufffd");
        continue;
      }
      for (std::size_t k = 0; k < length; ++k)
        escaped_[used++] = name[i + k];
      i += length - 1;
    } else {
      escaped_[used++] = c;
    }
  }
  return {escaped_, used};
}

}  // namespace mirtak
