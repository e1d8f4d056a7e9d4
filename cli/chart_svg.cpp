// SVG picture of a chart.
#include "chart_svg.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace hx::cli {
namespace {

constexpr int kWidth = 960;
constexpr int kLeft = 64;       // x of the first hour slot; the y axis labels sit left of it
constexpr int kSlot = 36;       // width of one hour's slot
constexpr int kBar = 26;        // width of a bar inside its slot
constexpr int kQsoHeight = 200;
constexpr int kMarkHeight = 96;
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// One colour per band index, the same in every picture so that charts compare.
constexpr std::string_view kColours[kBands] = {"#8c564b", "#9467bd", "#1f77b4", "#2ca02c",
                                               "#ff7f0e", "#d62728", "#e377c2", "#17becf",
                                               "#bcbd22", "#7f7f7f", "#393b79"};
constexpr std::string_view kBandWords[kBands] = {"1.9 MHz", "3.5 MHz", "7 MHz",    "14 MHz",
                                                 "21 MHz",  "28 MHz",  "50 MHz",   "144 MHz",
                                                 "430 MHz", "1200 MHz", "other bands"};

// A coordinate with at most one decimal, independent of the locale.
std::string num(double v) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 1);
    std::string s(buf, r.ptr);
    if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
    if (s == "-0") s = "0";
    return s;
}

// A tick step of 1, 2 or 5 times a power of ten giving at most 5 steps up to `max`.
std::int64_t tick_step(std::int64_t max) {
    for (std::int64_t p = 1;; p *= 10)
        for (std::int64_t m : {1, 2, 5})
            if (m * p * 5 >= max) return m * p;
}

struct Tpanel {
    int top;                 // y of the panel's top edge
    int height;
    bool marks;              // kind 1 + 2 instead of QSOs
    std::string_view caption;
};

class Tsvg_writer {
public:
    explicit Tsvg_writer(const Tchart& c) : c_(c), name_(xml_text(file_name_of(c.log_path))) {
        for (int d = 1; d <= c.days; ++d)
            for (int b = 0; b < kBands; ++b)
                if (band_day_total(c.tally, d, b) != 0) in_log_[b] = true;
    }

    std::string document() {
        const bool all = c_.type == lt_all;
        const int block = all ? 450 : 318;
        const int height = std::max(1, c_.days) * block;
        s_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
        s_ += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(kWidth) +
              "\" height=\"" + std::to_string(height) + "\" viewBox=\"0 0 " + std::to_string(kWidth) +
              ' ' + std::to_string(height) +
              "\" font-family=\"DejaVu Sans, Liberation Sans, Arial, IPAGothic, sans-serif\" "
              "font-size=\"12\">\n";
        s_ += "<title>" + name_ + " time chart</title>\n";
        s_ += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
        for (int d = 1; d <= c_.days; ++d) day_block(d, (d - 1) * block, all);
        s_ += "</svg>\n";
        return std::move(s_);
    }

private:
    std::int64_t value(int d, int h, int b, bool marks) const {
        return marks ? c_.marks(d, h, b) : c_.tally.at(d, h, b, 0);
    }

    void day_block(int d, int y0, bool all) {
        std::int64_t qsos = 0, marks = 0;
        for (int h = 0; h < kHours; ++h)
            for (int b = 0; b < kBands; ++b) qsos += value(d, h, b, false), marks += value(d, h, b, true);
        s_ += "<g class=\"day\" id=\"day" + std::to_string(d) + "\">\n";
        if (d > 1) s_ += line(16, y0 + 4, kWidth - 16, y0 + 4, "#999999");
        s_ += "<text x=\"16\" y=\"" + std::to_string(y0 + 30) +
              "\" font-size=\"18\" font-weight=\"bold\" class=\"title\">" + name_ + " \xE2\x80\x94 chart day " +
              std::to_string(d) + "</text>\n";
        std::string totals = std::to_string(qsos) + (qsos == 1 ? " QSO" : " QSOs");
        if (all) totals += ", " + std::to_string(marks) + (marks == 1 ? " multiplier mark" : " multiplier marks");
        s_ += "<text x=\"" + std::to_string(kWidth - 16) + "\" y=\"" + std::to_string(y0 + 30) +
              "\" text-anchor=\"end\" fill=\"#333333\">" + totals + "</text>\n";
        legend(y0 + 44);
        const int qso_top = y0 + 76;
        panel(d, {qso_top, kQsoHeight, false, "QSOs"});
        if (all) panel(d, {qso_top + kQsoHeight + 44, kMarkHeight, true, "Multipliers"});
        s_ += "</g>\n";
    }

    void legend(int y) {
        int x = 16;
        s_ += "<g class=\"legend\">\n<text x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y + 11) +
              "\" fill=\"#333333\">Band</text>\n";
        x = kLeft;
        for (int b = 0; b < kBands; ++b) {
            if (!in_log_[b]) continue;
            s_ += "<rect x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) +
                  "\" width=\"12\" height=\"12\" fill=\"" + std::string(kColours[b]) + "\"/>\n";
            s_ += "<text x=\"" + std::to_string(x + 17) + "\" y=\"" + std::to_string(y + 11) +
                  "\" class=\"band\">" + band_name(b) + "</text>\n";
            x += 58;
        }
        s_ += "</g>\n";
    }

    void panel(int d, const Tpanel& p) {
        const int bottom = p.top + p.height;
        std::int64_t sums[kHours] = {};
        std::int64_t max = 0;
        for (int k = 0; k < kHours; ++k) {
            for (int b = 0; b < kBands; ++b) sums[k] += value(d, c_.hour_at(k), b, p.marks);
            max = std::max(max, sums[k]);
        }
        const std::int64_t step = tick_step(std::max<std::int64_t>(max, 1));
        const std::int64_t top_value = std::max<std::int64_t>((max + step - 1) / step * step, step);
        const double scale = static_cast<double>(p.height) / static_cast<double>(top_value);
        const std::string cls = p.marks ? "mark" : "qso";

        s_ += "<g class=\"panel " + cls + "\">\n";
        s_ += "<text transform=\"translate(22 " + std::to_string(p.top + p.height / 2) +
              ") rotate(-90)\" text-anchor=\"middle\" fill=\"#333333\">" + std::string(p.caption) + "</text>\n";
        for (std::int64_t t = 0; t <= top_value; t += step) {
            const double y = bottom - static_cast<double>(t) * scale;
            s_ += line(kLeft, y, kLeft + kHours * kSlot, y, t == 0 ? "#333333" : "#dddddd");
            s_ += "<text x=\"" + std::to_string(kLeft - 6) + "\" y=\"" + num(y + 4) +
                  "\" text-anchor=\"end\" font-size=\"11\" fill=\"#555555\">" + std::to_string(t) + "</text>\n";
        }
        for (int k = 0; k < kHours; ++k) {
            const int h = c_.hour_at(k);
            const int x = kLeft + k * kSlot + (kSlot - kBar) / 2;
            double y = bottom;
            for (int b = 0; b < kBands; ++b) {
                const std::int64_t v = value(d, h, b, p.marks);
                if (v == 0) continue;
                const double hgt = static_cast<double>(v) * scale;
                y -= hgt;
                s_ += "<rect class=\"" + cls + "\" data-hour=\"" + std::to_string(h) + "\" data-band=\"" +
                      band_name(b) + "\" data-value=\"" + std::to_string(v) + "\" x=\"" + std::to_string(x) +
                      "\" y=\"" + num(y) + "\" width=\"" + std::to_string(kBar) + "\" height=\"" + num(hgt) +
                      "\" fill=\"" + std::string(kColours[b]) + "\"><title>" + std::string(kBandWords[b]) +
                      ", " + std::to_string(h) + "h: " + std::to_string(v) +
                      (p.marks ? (v == 1 ? " mark" : " marks") : (v == 1 ? " QSO" : " QSOs")) +
                      "</title></rect>\n";
            }
            if (sums[k] > 0)
                s_ += "<text x=\"" + std::to_string(x + kBar / 2) + "\" y=\"" + num(y - 3) +
                      "\" text-anchor=\"middle\" font-size=\"10\" fill=\"#333333\">" + std::to_string(sums[k]) +
                      "</text>\n";
            s_ += "<text x=\"" + std::to_string(x + kBar / 2) + "\" y=\"" + std::to_string(bottom + 15) +
                  "\" text-anchor=\"middle\" font-size=\"11\" class=\"hour\">" + std::to_string(h) + "</text>\n";
        }
        s_ += "<text x=\"" + std::to_string(kLeft - 6) + "\" y=\"" + std::to_string(bottom + 15) +
              "\" text-anchor=\"end\" font-size=\"11\" fill=\"#555555\">hour</text>\n";
        if (max == 0)
            s_ += "<text x=\"" + std::to_string(kLeft + kHours * kSlot / 2) + "\" y=\"" +
                  std::to_string(p.top + p.height / 2) + "\" text-anchor=\"middle\" fill=\"#999999\">no " +
                  (p.marks ? "multiplier marks" : "QSOs") + "</text>\n";
        s_ += "</g>\n";
    }

    static std::string line(double x1, double y1, double x2, double y2, std::string_view colour) {
        return "<line x1=\"" + num(x1) + "\" y1=\"" + num(y1) + "\" x2=\"" + num(x2) + "\" y2=\"" + num(y2) +
               "\" stroke=\"" + std::string(colour) + "\" stroke-width=\"1\"/>\n";
    }

    const Tchart& c_;
    std::string name_;
    bool in_log_[kBands] = {};
    std::string s_;
};

// Length of the valid UTF-8 character at the start of `s` that XML allows
// outside control characters, or 0.
std::size_t xml_char_length(std::string_view s) {
    const auto u = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char b = u(0);
    if (b < 0x20) return 0;
    if (b < 0x80) return 1;
    std::size_t n;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (b >= 0xC2 && b <= 0xDF) n = 2;
    else if (b >= 0xE0 && b <= 0xEF) {
        n = 3;
        if (b == 0xE0) lo = 0xA0;
        if (b == 0xED) hi = 0x9F;  // no UTF-16 surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4;
        if (b == 0xF0) lo = 0x90;
        if (b == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (s.size() < n || u(1) < lo || u(1) > hi) return 0;
    for (std::size_t i = 2; i < n; ++i)
        if (u(i) < 0x80 || u(i) > 0xBF) return 0;
    if (n == 3 && b == 0xEF && u(1) == 0xBF && (u(2) == 0xBE || u(2) == 0xBF)) return 0;  // U+FFFE, U+FFFF
    return n;
}

}  // namespace

std::string xml_text(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        const std::size_t n = xml_char_length(bytes);
        if (n == 0) {
            out += kReplacement;
            bytes.remove_prefix(1);
            continue;
        }
        switch (bytes[0]) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default: out.append(bytes.substr(0, n));
        }
        bytes.remove_prefix(n);
    }
    return out;
}

std::string chart_svg(const Tchart& chart) { return Tsvg_writer(chart).document(); }

}  // namespace hx::cli
