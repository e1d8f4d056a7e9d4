// hxchart: the command-line front end of the breakdown, as a function so that
// tests run it in-process.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace hx::cli {

// Runs hxchart with `args` (without the program name). Returns the exit
// status: 0 every log was counted and got its report, 1 any log failed or was
// not counted, 2 a usage error.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace hx::cli
