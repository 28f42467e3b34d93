// What the process needs from the system before a run starts.
#pragma once

#include <cstddef>

namespace mirtak {

// Makes failures of the console and of the value file arrive as error values rather than as
// signals or dialog boxes (a pipe nobody reads, a file size limit, a drive with no disk in it).
void prepare_process();

// No page of memory is smaller than this on any system the tool runs on.
inline constexpr std::size_t kSmallestPage = 4096;

// Makes every page of [start, start + size) the process's now, as writing a byte of each does.
// Where the system can (Linux 5.14 and later) it is first asked for them all in one call, which
// costs far less than a fault for each page: on a virtual machine that is most of a short run's
// time. A byte of each is then written all the same, which costs next to nothing for a page
// already taken and takes it where the system did not (an older system, a memory limit, an
// emulator that only says it did). start and size are multiples of kSmallestPage.
void take_pages(void* start, std::size_t size);

// Writes one byte of each page of [start, start + size) back with its own value: the pages are
// taken one fault at a time, and nothing changes.
inline void touch_pages(void* start, std::size_t size) {
  volatile unsigned char* const bytes = static_cast<unsigned char*>(start);
  for (std::size_t at = 0; at < size; at += kSmallestPage) {
    const unsigned char value = bytes[at];
    bytes[at] = value;
  }
}

// Gives whole pages of memory the process has touched back to the system, where it can (POSIX);
// their contents are zero when next touched. start and size are multiples of kSmallestPage.
void give_back(void* start, std::size_t size);

}  // namespace mirtak
