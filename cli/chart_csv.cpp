// CSV rows of a chart.
#include "chart_csv.h"

namespace hx::cli {

std::string_view csv_header() { return "log,day,hour,band,qso,mult1,mult2\r\n"; }

std::string csv_field(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string q = "\"";
    for (char ch : text) {
        if (ch == '"') q.push_back('"');
        q.push_back(ch);
    }
    q.push_back('"');
    return q;
}

void append_csv_rows(const Tchart& chart, std::string& out) {
    const std::string log = csv_field(chart.log_path);
    const bool all = chart.type == lt_all;
    for (int d = 1; d <= chart.days; ++d) {
        for (int k = 0; k < kHours; ++k) {
            const int h = chart.hour_at(k);
            for (int b = 0; b < kBands; ++b) {
                const std::int32_t qso = chart.tally.at(d, h, b, 0);
                if (qso == 0) continue;
                out += log;
                out += ',' + std::to_string(d) + ',' + std::to_string(h) + ',' + band_name(b) + ',' +
                       std::to_string(qso) + ',';
                if (all) {
                    out += std::to_string(chart.tally.at(d, h, b, 1)) + ',' +
                           std::to_string(chart.tally.at(d, h, b, 2));
                } else {
                    out += ',';
                }
                out += "\r\n";
            }
        }
    }
}

}  // namespace hx::cli
