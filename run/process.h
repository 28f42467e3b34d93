// What the process needs from the system before a run starts.
#pragma once

#include <cstddef>

namespace mirtak {

// Makes failures of the console and of the value file arrive as error values rather than as
// signals or dialog boxes (a pipe nobody reads, a file size limit, a drive with no disk in it).
void prepare_process();

// No page of memory is smaller than this on any system the tool runs on.
inline constexpr std::size_t kSmallestPage = 4096;

// Has the system take every page of [start, start + size) now, in one call, as writing a byte
// of each would: true if it did. False where it cannot (an older system, Windows) or will not
// (a memory limit), and then the caller writes to each page itself. start and size are
// multiples of kSmallestPage. One call costs far less than a fault for each page, which on a
// virtual machine is most of a short run's time.
bool take_pages(void* start, std::size_t size);

// Gives whole pages of memory the process has touched back to the system, where it can (POSIX);
// their contents are zero when next touched. start and size are multiples of kSmallestPage.
void give_back(void* start, std::size_t size);

}  // namespace mirtak
