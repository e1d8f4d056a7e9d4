// hxchart: the command-line front end of the breakdown, as a function so that
// tests run it in-process.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace hx::cli {

// Runs hxchart with `args` (without the program name). Returns the exit
// status: 0 every log was counted and got its report (and picture), 1 any log
// failed or was not counted, a folder could not be read or the CSV file could
// not be written, 2 a usage error. Per-log lines, the parse audit and the
// summary go to `out`, or to `err` when `out` carries reports (--print) or
// the CSV (--csv -); every failure goes to `err` as "hxchart: PATH: reason".
// A progress line goes to `err` only when `err_is_terminal` and more than one
// log is run; it is erased before anything else is written.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool err_is_terminal);

// The same, taking stderr's terminal state from file descriptor 2.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace hx::cli
