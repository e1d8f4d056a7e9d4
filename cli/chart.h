// The counts of one counted log, taken from the run's module variables right
// after break_down, so that the CSV and the picture writers read a stable copy
// while the next log's run overwrites the module.
#pragma once

#include <cstdint>
#include <string>

#include "u_hx300.h"

namespace hx::cli {

struct Tchart {
    std::string log_path;        // the log's path as given
    Tlog_type type = lt_unknown;  // lt_all or lt_cabrillo
    Ttally tally{};
    std::int32_t start_hour = 0;  // clock hour of the first column, 0..23
    std::int32_t days = 0;        // chart days 1..kChartDays

    // The clock hour of column k (0..23) in the report's column order.
    std::int32_t hour_at(std::int32_t k) const { return (start_hour + k) % kHours; }
    // Marks of both kinds at a cell; always 0 for a Cabrillo log.
    std::int32_t marks(int day, int hour, int band) const {
        return tally.at(day, hour, band, 1) + tally.at(day, hour, band, 2);
    }
};

// The chart of the last break_down; call only after one that returned > 0.
Tchart chart_of_last_run(const std::string& log_path);

// A band's row label without its padding blanks: "7", "120", "up".
std::string band_name(std::int32_t band);

}  // namespace hx::cli
