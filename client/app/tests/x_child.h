// The helper programs of the window tests (the X server, the window manager): started as
// children of the test process that die with it, however it ends (a crash or CTest's
// time-out too), so none outlives its test; and ended cleanly, first asked, then killed.

#ifndef ORVIK_CLIENT_APP_TESTS_X_CHILD_H_
#define ORVIK_CLIENT_APP_TESTS_X_CHILD_H_

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace orvik::client::xtest {

// Runs `argv` (found on PATH) with its input and error output on /dev/null, its output on
// `out` (or /dev/null when -1), and `keep` (when not -1) left open in it. The child's pid, or
// -1 with the reason in `error`.
pid_t StartTiedChild(const std::vector<std::string>& argv, int out, int keep,
                     std::string* error);

// Reads one line (its end of line dropped) from `fd` within `limit`: how the helpers say they
// are ready. False when the time ran out or the writer closed first.
bool ReadReadyLine(int fd, std::chrono::milliseconds limit, std::string* line);

// Asks the child to end (SIGTERM), kills it when it does not within a few seconds, and
// reaps it.
void EndChild(pid_t pid);

}  // namespace orvik::client::xtest

#endif  // ORVIK_CLIENT_APP_TESTS_X_CHILD_H_
