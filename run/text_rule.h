// What counts as text when an existing file is about to be overwritten with values. A value file
// is binary, so a file that opens with text is a log or a document named by mistake (the two
// arguments swapped, a mistyped name), and the run refuses to overwrite it.
//
// The rule: look at the file's first kTextProbeSize bytes (all of them if the file is shorter),
// up to a Ctrl-Z (0x1A) right after a carriage return and a newline, which ends a log's text. Those
// bytes are text when they hold at least two newlines (0x0A) and every one of them is printable
// (0x20-0x7E, or 0x80-0xFF: letters of a code page or of UTF-8), a tab (0x09), a newline, a
// vertical tab (0x0B), a form feed (0x0C) or a carriage return (0x0D). Nothing else is looked at.
//
// Why two newlines, and a Ctrl-Z only after CR LF: a log has a header line and at least one
// more, and the system the logs come from ends their lines with CR LF and their text with a Ctrl-Z
// after the last line end. Value files are binary but can hold any byte: with one newline and a
// Ctrl-Z anywhere, about 1 random file in 1,000 of 4 KiB passed for text, and about 1 in 200,000
// with a Ctrl-Z after a bare newline.
#pragma once

#include <array>
#include <cstddef>

#include "log/byte_rules.h"

namespace mirtak {

// How much of a file's start decides whether it is text.
constexpr std::size_t kTextProbeSize = 4096;

// For each byte, whether text may hold it.
constexpr std::array<bool, 256> text_bytes() {
  std::array<bool, 256> allowed{};
  for (std::size_t b = 0; b < allowed.size(); ++b)
    allowed[b] = (b >= 0x20 && b != 0x7F) || (b >= 0x09 && b <= 0x0D);
  return allowed;
}

inline constexpr std::array<bool, 256> kTextByte = text_bytes();

static_assert(kTextByte['\t'] && kTextByte['\n'] && kTextByte['\v'] && kTextByte['\f'] &&
                  kTextByte['\r'] && kTextByte[' '] && kTextByte['~'] && kTextByte[0x80] &&
                  kTextByte[0xFF],
              "line ends, tabs and printable characters are text");
static_assert(!kTextByte[0x00] && !kTextByte[0x08] && !kTextByte[0x0E] && !kTextByte[0x1A] &&
                  !kTextByte[0x1F] && !kTextByte[0x7F],
              "other control characters are not");

// Whether a file whose first bytes are data[0, size) opens with text; size is the file's
// length where that is less than kTextProbeSize.
constexpr bool is_text(const unsigned char* data, std::size_t size) {
  int line_ends = 0;
  for (std::size_t i = 0; i < size && i < kTextProbeSize; ++i) {
    if (data[i] == kEndOfText && i > 1 && data[i - 1] == kNewline && data[i - 2] == kCarriageReturn)
      break;
    if (!kTextByte[data[i]]) return false;
    if (data[i] == kNewline) ++line_ends;
  }
  return line_ends >= 2;
}

}  // namespace mirtak
