// The plain reading of a log, one byte at a time: the definition of every rule, which every way
// through a log (log/kernel_sets.h) gives the same values as, and the step each of them takes
// for a field its vector steps cannot (log/fast_way.h).
//
// The rules, in the order the bytes meet them:
//   - a carriage return (0x0D) is dropped wherever it stands;
//   - the first Ctrl-Z (0x1A) ends the input: nothing from it on is read;
//   - lines end at the newline (0x0A); the first line, the header, is skipped whatever it holds;
//   - a later line whose first character is "+" ends the data; the end of the input does too,
//     and a last line without a newline is still a data line;
//   - only the space separates fields; spaces at a line's start belong to its first field, and
//     spaces before its end start one more field;
//   - the first field is dropped; every other gives one value (log/number.h).
// The bytes the log gave are never changed: the rules are applied as they are read.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>

#include "log/byte_rules.h"
#include "log/line_place.h"
#include "log/number.h"
#include "output/value_writer.h"

namespace mirtak {

// Where the reading of a log stands, the one record of it: carried from byte to byte and from
// block to block by value, whichever way reads the log.
struct Reading {
  LinePlace place = LinePlace::kHeader;
  Number number;  // of the value field being read (kInValue); a new one everywhere else
};

// What a way through a log did with a block: where the reading then stands, and how many of the
// block's bytes it took: all of them, unless the data ended at the byte after those (a "+" that
// ends the data, or a Ctrl-Z).
struct Converted {
  Reading reading;
  std::size_t taken;
};

// The end of the input, or a Ctrl-Z: a data line under way ends as if a newline came.
inline Reading end_of_input(Reading r, ValueWriter& out) {
  if (r.place == LinePlace::kInValue || r.place == LinePlace::kAfterField) {
    out.put(r.number.value());  // after spaces, the field they start: 0
  }
  if (r.place != LinePlace::kHeader && r.place != LinePlace::kLineStart &&
      r.place != LinePlace::kEnded) {
    out.end_line();
  }
  return {LinePlace::kEnded, Number()};
}

// What a byte does to the reading beyond being a character of a field's text; one lookup per
// byte, made from the bytes of the rules.
enum class ByteRole : unsigned char { kText, kSeparator, kLineEnd, kDropped, kEndOfInput };

constexpr std::array<ByteRole, 256> byte_roles() {
  std::array<ByteRole, 256> roles{};
  roles[kFieldSeparator] = ByteRole::kSeparator;
  roles[kNewline] = ByteRole::kLineEnd;
  roles[kCarriageReturn] = ByteRole::kDropped;
  roles[kEndOfText] = ByteRole::kEndOfInput;
  return roles;
}
inline constexpr std::array<ByteRole, 256> kByteRoles = byte_roles();

// Reads [begin, end) from `r`, byte by byte. Stops early where the data ends, and, with
// kOneField, right after the first byte that ends a field (a separator after a field's text) or a
// line (a newline, the header's too): the line then stands between two fields, or at a line's
// start, for the vector steps to go on from.
template <bool kOneField>
Converted read_plain(Reading r, const unsigned char* const begin, const unsigned char* const end,
                     ValueWriter& out) {
  LinePlace place = r.place;
  Number number = r.number;  // kept in registers
  const unsigned char* at = begin;
  const auto ended = [&](Reading last) {
    return Converted{last, static_cast<std::size_t>(at - begin)};
  };
  const auto find = [](const unsigned char* from, const unsigned char* to, unsigned char c) {
    return static_cast<const unsigned char*>(
        std::memchr(from, c, static_cast<std::size_t>(to - from)));
  };
  const auto text = [](unsigned char c) { return kByteRoles[c] == ByteRole::kText; };
  while (at != end) {
    // Runs of one kind, a tight loop each.
    switch (place) {
      case LinePlace::kHeader: {
        const unsigned char* const newline = find(at, end, kNewline);
        const unsigned char* const stop = newline != nullptr ? newline : end;
        const unsigned char* const z = find(at, stop, kEndOfText);
        if (z != nullptr) {
          at = z;
          return ended(end_of_input({place, number}, out));
        }
        at = stop;
        if (newline == nullptr) continue;
        ++at;
        place = LinePlace::kLineStart;
        if (kOneField) return {{place, number}, static_cast<std::size_t>(at - begin)};
        continue;
      }
      case LinePlace::kInValue:
        at = number.take_digits(at, end);
        for (; at != end && text(*at); ++at)
          number.take(*at);
        break;
      case LinePlace::kFirstField:
        while (at != end && text(*at))
          ++at;
        break;
      case LinePlace::kLeadingSpaces:
      case LinePlace::kAfterField:
        while (at != end && *at == kFieldSeparator)
          ++at;
        break;
      default:
        break;
    }
    if (at == end) break;
    // The byte that ends the run.
    const unsigned char c = *at;
    switch (kByteRoles[c]) {
      case ByteRole::kEndOfInput:
        return ended(end_of_input({place, number}, out));
      case ByteRole::kDropped:
        ++at;
        continue;
      case ByteRole::kLineEnd:
        ++at;
        if (place == LinePlace::kInValue || place == LinePlace::kAfterField) {
          out.put(number.value());  // after spaces, the field they start: 0
        }
        out.end_line();
        place = LinePlace::kLineStart;
        number = Number();
        if (kOneField) return {{place, number}, static_cast<std::size_t>(at - begin)};
        continue;
      case ByteRole::kSeparator: {
        ++at;
        const bool field_ends = place == LinePlace::kInValue || place == LinePlace::kFirstField;
        if (place == LinePlace::kInValue) out.put(number.value());
        number = Number();
        place = field_ends ? LinePlace::kAfterField : LinePlace::kLeadingSpaces;
        if (kOneField && field_ends) return {{place, number}, static_cast<std::size_t>(at - begin)};
        continue;
      }
      case ByteRole::kText:
        // A field starts: here only at a line's start, after leading spaces, after a field.
        if (place == LinePlace::kLineStart && c == kTerminatorMark) {
          return ended({LinePlace::kEnded, Number()});
        }
        ++at;
        if (place == LinePlace::kAfterField) {
          place = LinePlace::kInValue;
          number.take(c);
        } else {
          place = LinePlace::kFirstField;  // the line's first field, dropped
        }
        continue;
    }
  }
  return {{place, number}, static_cast<std::size_t>(at - begin)};
}

}  // namespace mirtak
