// Finding the logs under a folder for a batch run.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace hx::cli {

// Whether a file name ends in ".ALL", ".cbr" or ".log", in any letter case.
bool has_log_extension(const std::string& name);

// Appends to `logs` every file under `folder`, at any depth, whose name has a
// log extension, sorted by path bytes so that runs are repeatable. Links to
// folders are not followed (no cycles); links to files are taken. Returns
// false when `folder` itself cannot be read as a folder. A subfolder that
// cannot be read is named on `err` ("hxchart: PATH: reason") and skipped;
// `problems` counts those and a failing `folder`.
bool find_logs(const std::string& folder, std::vector<std::string>& logs, std::ostream& err, int& problems);

}  // namespace hx::cli
