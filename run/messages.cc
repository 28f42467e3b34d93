#include "run/messages.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

#include "run/version.h"

namespace mirtak {

namespace {

constexpr std::string_view kBanner =
    "\n\n"
    "         MIRTAK " MIRTAK_VERSION
    "  KOVIR log to value file converter"
    "\n\n\tConverts KOVIR LOG files into binary files.\n\n"
    "\tInput: MIRTAK LogFileName KovirFileName\n"
    "\tp.e.   MIRTAK QDEMOX.LOG QDEMO.MX\n\n";

struct Message {
  std::string_view before_name;
  std::string_view after_name;
};

// In the order of Failure.
constexpr Message kMessages[] = {
    {"\nWrong input!", ""},       {"\nNo such file ", ""},       {"\nCan not create ", " file"},
    {"\nCan not read ", " file"}, {"\nCan not write ", " file"},
};
static_assert(static_cast<std::size_t>(Failure::kCannotWrite) + 1 == std::size(kMessages),
              "one message for each failure");

}  // namespace

void print_banner(Console& console) {
  console.print(kBanner);
}

void print_failure(Console& console, Failure failure, NameView name) {
  const Message& message = kMessages[static_cast<std::size_t>(failure)];
  console.print(message.before_name, name, message.after_name);
}

void print_failure_line(Console& console, Failure failure, NameView name) {
  const Message& message = kMessages[static_cast<std::size_t>(failure)];
  char after[32] = {};
  const std::size_t size = std::min(message.after_name.size(), sizeof after - 1);
  std::copy_n(message.after_name.data(), size, after);
  after[size] = '\n';
  std::string_view text = message.before_name;
  text.remove_prefix(1);  // every message's first character is its newline
  console.print(text, name, std::string_view(after, size + 1));
}

}  // namespace mirtak
