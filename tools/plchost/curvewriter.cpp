// SPDX-License-Identifier: MIT
#include "curvewriter.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace plchost {

namespace {

constexpr double kWidth = 800;
constexpr double kHeight = 440;
constexpr double kLeft = 80;
constexpr double kRight = 20;
constexpr double kTop = 40;
constexpr double kBottom = 110;
constexpr const char* kColours[4] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd"};

std::string xmlEscape(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string csvField(const std::string& text)
{
    if (text.find_first_of(",\"\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (const char c : text)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string number(double value)
{
    std::ostringstream out;
    out.precision(7);
    out << value;
    return out.str();
}

struct Range {
    double low = 0;
    double high = 1;
};

Range sampleRange(const std::vector<Orrery::tagCurveData>& records)
{
    bool any = false;
    Range range;
    for (const auto& record : records) {
        for (const double sample : record.samples) {
            if (!std::isfinite(sample))
                continue;
            range.low = any ? std::min(range.low, sample) : sample;
            range.high = any ? std::max(range.high, sample) : sample;
            any = true;
        }
    }
    if (range.high - range.low < 1e-9) {
        range.low -= 1;
        range.high += 1;
    }
    return range;
}

// A tick step of 1, 2 or 5 times a power of ten, giving about four intervals.
double tickStep(Range range)
{
    const double raw = (range.high - range.low) / 4;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= raw)
            return factor * power;
    }
    return 10 * power;
}

// The range widened to whole tick steps, so that the axis labels are round numbers.
Range roundRange(Range range, double step)
{
    return {std::floor(range.low / step) * step, std::ceil(range.high / step) * step};
}

class Plot {
public:
    Plot(size_t points, Range range) : _points(points), _range(range) {}

    double x(size_t index) const
    {
        const double span = _points > 1 ? static_cast<double>(_points - 1) : 1.0;
        return kLeft + (kWidth - kLeft - kRight) * static_cast<double>(index) / span;
    }
    double y(double value) const
    {
        const double plotHeight = kHeight - kTop - kBottom;
        return kTop + plotHeight * (_range.high - value) / (_range.high - _range.low);
    }

private:
    size_t _points;
    Range _range;
};

void axes(std::ostringstream& out, const Plot& plot, size_t points, Range range, double step)
{
    const double bottom = kHeight - kBottom;
    out << "<g stroke=\"#444\" stroke-width=\"1\">\n"
        << "<line x1=\"" << kLeft << "\" y1=\"" << kTop << "\" x2=\"" << kLeft << "\" y2=\""
        << bottom << "\"/>\n"
        << "<line x1=\"" << kLeft << "\" y1=\"" << bottom << "\" x2=\"" << kWidth - kRight
        << "\" y2=\"" << bottom << "\"/>\n</g>\n";
    out << "<g font-family=\"sans-serif\" font-size=\"11\" fill=\"#222\">\n";
    const int ticks = static_cast<int>(std::lround((range.high - range.low) / step));
    for (int tick = 0; tick <= ticks; ++tick) {
        const double value = range.low + step * tick;
        out << "<line x1=\"" << kLeft << "\" y1=\"" << number(plot.y(value)) << "\" x2=\""
            << kWidth - kRight << "\" y2=\"" << number(plot.y(value))
            << "\" stroke=\"#ddd\" stroke-width=\"1\"/>\n";
        out << "<text x=\"" << kLeft - 6 << "\" y=\"" << number(plot.y(value) + 4)
            << "\" text-anchor=\"end\">" << number(std::fabs(value) < step / 1e6 ? 0 : value)
            << "</text>\n";
    }
    const size_t every = std::max<size_t>(1, (points + 9) / 10);
    for (size_t index = 0; index < points; index += every) {
        out << "<text x=\"" << number(plot.x(index)) << "\" y=\"" << bottom + 16
            << "\" text-anchor=\"middle\">" << index << "</text>\n";
    }
    out << "<text x=\"" << (kLeft + kWidth - kRight) / 2 << "\" y=\"" << bottom + 34
        << "\" text-anchor=\"middle\">record</text>\n</g>\n";
}

void legend(std::ostringstream& out, const CurveWriter::SeriesNames& names)
{
    out << "<g font-family=\"sans-serif\" font-size=\"12\">\n";
    for (size_t series = 0; series < 4; ++series) {
        const double x = kLeft + static_cast<double>(series % 2) * 340;
        const double y = kHeight - kBottom + 56 + static_cast<double>(series / 2) * 20;
        out << "<line x1=\"" << x << "\" y1=\"" << y - 4 << "\" x2=\"" << x + 24 << "\" y2=\""
            << y - 4 << "\" stroke=\"" << kColours[series] << "\" stroke-width=\"2\"/>\n"
            << "<text x=\"" << x + 30 << "\" y=\"" << y << "\">" << xmlEscape(names[series])
            << "</text>\n";
    }
    out << "</g>\n";
}

} // namespace

CurveWriter::CurveWriter(std::string folder) : _folder(std::move(folder)) {}

bool CurveWriter::write(unsigned int curve, size_t ordinal,
                        const std::vector<Orrery::tagCurveData>& records, const SeriesNames& names,
                        CurveFiles* files)
{
    if (_earlier.count(curve) == 0)
        _earlier[curve] = highestNumberInFolder(curve);
    char stem[64];
    std::snprintf(stem, sizeof stem, "curve%u-%03zu", curve, _earlier[curve] + ordinal);
    files->csvPath = _folder + "/" + stem + ".csv";
    files->svgPath = _folder + "/" + stem + ".svg";
    const std::string title = "Curve " + std::to_string(curve) + " (group " +
                              std::to_string(curve + 100) + "), saved #" + std::to_string(ordinal) +
                              ", " + std::to_string(records.size()) + " records";
    return writeFile(files->csvPath, csv(records, names)) &&
           writeFile(files->svgPath, svg(title, records, names));
}

size_t CurveWriter::highestNumberInFolder(unsigned int curve) const
{
    const std::string head = "curve" + std::to_string(curve) + "-";
    size_t highest = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(_folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.compare(0, head.size(), head) != 0)
            continue;
        char* end = nullptr;
        const unsigned long number = std::strtoul(name.c_str() + head.size(), &end, 10);
        if (end != name.c_str() + head.size() &&
            (std::string(end) == ".csv" || std::string(end) == ".svg"))
            highest = std::max<size_t>(highest, number);
    }
    return highest;
}

bool CurveWriter::writeFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out)
        out << content;
    if (!out) {
        _error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string CurveWriter::csv(const std::vector<Orrery::tagCurveData>& records,
                             const SeriesNames& names)
{
    std::ostringstream out;
    out << "record";
    for (const std::string& name : names)
        out << "," << csvField(name);
    out << "\n";
    for (size_t index = 0; index < records.size(); ++index) {
        out << index;
        for (const double sample : records[index].samples)
            out << "," << number(sample);
        out << "\n";
    }
    return out.str();
}

std::string CurveWriter::svg(const std::string& title,
                             const std::vector<Orrery::tagCurveData>& records,
                             const SeriesNames& names)
{
    const Range samples = sampleRange(records);
    const double step = tickStep(samples);
    const Range range = roundRange(samples, step);
    const Plot plot(records.size(), range);
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\""
        << kHeight << "\" viewBox=\"0 0 " << kWidth << " " << kHeight << "\">\n"
        << "<title>" << xmlEscape(title) << "</title>\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
        << "<text x=\"" << kWidth / 2 << "\" y=\"24\" text-anchor=\"middle\" "
        << "font-family=\"sans-serif\" font-size=\"15\">" << xmlEscape(title) << "</text>\n";
    axes(out, plot, records.size(), range, step);
    for (size_t series = 0; series < 4; ++series) {
        out << "<polyline class=\"series\" fill=\"none\" stroke=\"" << kColours[series]
            << "\" stroke-width=\"1.5\" points=\"";
        bool first = true;
        for (size_t index = 0; index < records.size(); ++index) {
            const double sample = records[index].samples[series];
            if (!std::isfinite(sample))
                continue;
            out << (first ? "" : " ") << number(plot.x(index)) << "," << number(plot.y(sample));
            first = false;
        }
        out << "\"><title>" << xmlEscape(names[series]) << "</title></polyline>\n";
    }
    legend(out, names);
    out << "</svg>\n";
    return out.str();
}

} // namespace plchost
