#include "run/messages.h"

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

Message message_for(Outcome outcome) {
  switch (outcome) {
    case Outcome::kWrongInput:
      return {"\nWrong input!", ""};
    case Outcome::kNoSuchFile:
      return {"\nNo such file ", ""};
    case Outcome::kCannotCreate:
      return {"\nCan not create ", " file"};
    case Outcome::kCannotRead:
      return {"\nCan not read ", " file"};
    case Outcome::kCannotWrite:
      return {"\nCan not write ", " file"};
    case Outcome::kConverted:
      break;
  }
  return {"", ""};
}

}  // namespace

void print_banner(Console& console) {
  console.print(kBanner);
}

void print_failure(Console& console, Outcome outcome, NameView name) {
  const Message message = message_for(outcome);
  console.print(message.before_name, name, message.after_name);
}

}  // namespace mirtak
