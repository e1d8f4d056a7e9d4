// Taking a stable copy of the last run's counts.
#include "chart.h"

#include <algorithm>

namespace hx::cli {

Tchart chart_of_last_run(const std::string& log_path) {
    Tchart c;
    c.log_path = log_path;
    c.type = hx::log_type;
    c.tally = hx::tally;
    // The run keeps both in range for a counted log; clamping keeps every
    // reader of the copy inside the tally whatever the module holds.
    c.start_hour = hx::start_hour >= 0 && hx::start_hour < kHours ? hx::start_hour : 0;
    c.days = std::clamp<std::int32_t>(hx::day_index, 0, kChartDays);
    return c;
}

std::string band_name(std::int32_t band) {
    std::string_view label = band_label(band);
    while (!label.empty() && label.back() == ' ') label.remove_suffix(1);
    return std::string(label);
}

}  // namespace hx::cli
