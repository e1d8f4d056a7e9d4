// hxbench_detect: the cost of format detection on one log, in microseconds,
// as the median and the minimum over repeated calls of check_log_type.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "hx_util2.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fputs("Usage: hxbench_detect LOG [REPEATS]\n", stderr);
        return 2;
    }
    const std::string path = argv[1];
    const int repeats = argc == 3 ? std::max(1, std::stoi(argv[2])) : 101;
    std::vector<double> us;
    hx::Tlog_type type = hx::lt_unknown;
    for (int i = 0; i < repeats; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        type = hx::check_log_type(path);
        const auto t1 = std::chrono::steady_clock::now();
        us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    std::sort(us.begin(), us.end());
    std::printf("type %d, median %.1f us, min %.1f us over %d calls\n", type, us[us.size() / 2], us[0],
                repeats);
    return 0;
}
