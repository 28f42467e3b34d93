// The run takes its storage's pages at its start: afterwards every page is the process's, as if
// a byte of each had been written, and reads as it did.
#include <gtest/gtest.h>

#include "run/process.h"

#ifdef __linux__
#include <sys/mman.h>

namespace mirtak {
namespace {

constexpr std::size_t kPages = 64;
alignas(kSmallestPage) unsigned char room[kPages * kSmallestPage];  // never touched before

TEST(TakePages, EveryPageBelongsToTheProcess) {
  unsigned char resident[kPages] = {};
  ASSERT_EQ(::mincore(room, sizeof room, resident), 0);
  ASSERT_EQ(resident[kPages / 2] & 1, 0) << "the room was touched before the test";
  take_pages(room, sizeof room);
  ASSERT_EQ(::mincore(room, sizeof room, resident), 0);
  for (std::size_t page = 0; page < kPages; ++page)
    EXPECT_EQ(resident[page] & 1, 1) << "page " << page;
  EXPECT_EQ(room[0] | room[sizeof room - 1], 0) << "taken pages read as zero";
}

}  // namespace
}  // namespace mirtak
#endif
