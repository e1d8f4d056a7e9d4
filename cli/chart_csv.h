// The counts of counted logs as CSV (RFC 4180) for spreadsheets: one row per
// log, chart day, hour and band that has at least one QSO.
#pragma once

#include <string>
#include <string_view>

#include "chart.h"

namespace hx::cli {

// The header row "log,day,hour,band,qso,mult1,mult2" with its CR LF.
std::string_view csv_header();

// Appends the rows of one log: chart days in order, hours in the report's
// column order, bands in row order; a cell without QSOs gets no row (a mark
// always comes with a QSO, so nothing is lost). `hour` is the clock hour as in
// the log, `band` the row label without padding. mult1 and mult2 are empty for
// a Cabrillo log, whose marks are not counted. Every row ends in CR LF.
void append_csv_rows(const Tchart& chart, std::string& out);

// One field: as it is, or in double quotes with inner quotes doubled when it
// holds a comma, a double quote, CR or LF. Bytes are never re-encoded.
std::string csv_field(std::string_view text);

}  // namespace hx::cli
