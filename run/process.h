// What the process needs from the system before a run starts.
#pragma once

namespace mirtak {

// Makes failures of the console and of the value file arrive as error values rather than as
// signals or dialog boxes (a pipe nobody reads, a file size limit, a drive with no disk in it).
void prepare_process();

}  // namespace mirtak
