// What the process needs from the system before a run starts.
#pragma once

namespace mirtak {

// Makes failures of the console and of the value file arrive as error values rather than as
// signals that end the process (a pipe nobody reads, a file size limit), and makes standard
// output pass the console's bytes through unchanged.
void prepare_process();

}  // namespace mirtak
