// The picture of a chart: an SVG document with, per chart day, a bar per hour
// stacked by band and, for ALL logs, a second panel of the multiplier marks.
#pragma once

#include <string>
#include <string_view>

#include "chart.h"

namespace hx::cli {

// The whole SVG document (UTF-8, LF line ends) for a chart of 1..3 days: per
// chart day a title with the log's file name and the day, a legend of the
// bands that have QSOs in the log, the QSO bars with the hours in the report's
// column order, and for an ALL log a panel of marks (kind 1 plus kind 2). Each
// band keeps one colour in every picture. A bar segment carries data-hour,
// data-band and data-value attributes and a tooltip.
std::string chart_svg(const Tchart& chart);

// 8-bit text as XML character data, safe in element text and in quoted
// attributes: & < > " ' are escaped; valid UTF-8 passes; each byte that is not
// part of a valid UTF-8 character, each control character below 32 and the
// non-characters U+FFFE and U+FFFF become U+FFFD, so the document stays
// well-formed whatever bytes a file name holds.
std::string xml_text(std::string_view bytes);

}  // namespace hx::cli
