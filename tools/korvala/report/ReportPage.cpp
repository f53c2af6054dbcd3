#include "tools/korvala/report/ReportPage.h"

#include "tools/korvala/LastHalfMedian.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace korvala::cli {

namespace {

// Little-endian bytes whatever the host order, as the page's typed arrays read them.
template <typename T, typename Bits> std::string packedBase64(const std::vector<T>& values) {
    static_assert(sizeof(T) == sizeof(Bits));
    std::string bytes(values.size() * sizeof(T), '\0');
    for (std::size_t i = 0; i < values.size(); ++i) {
        Bits bits;
        std::memcpy(&bits, &values[i], sizeof(T));
        for (std::size_t b = 0; b < sizeof(T); ++b) {
            bytes[i * sizeof(T) + b] = static_cast<char>((bits >> (8 * b)) & 0xFFu);
        }
    }
    return base64Encode(bytes.data(), bytes.size());
}

std::string floatsBase64(const std::vector<float>& values) {
    return packedBase64<float, std::uint32_t>(values);
}

std::string doublesBase64(const std::vector<double>& values) {
    return packedBase64<double, std::uint64_t>(values);
}

} // namespace

std::string base64Encode(const void* data, std::size_t size) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const auto* in = static_cast<const unsigned char*>(data);
    std::string out;
    out.reserve((size + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        const std::uint32_t n = (std::uint32_t{in[i]} << 16) | (std::uint32_t{in[i + 1]} << 8) |
                                std::uint32_t{in[i + 2]};
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += kAlphabet[(n >> 6) & 63];
        out += kAlphabet[n & 63];
    }
    if (i < size) {
        const bool two = i + 1 < size;
        const std::uint32_t n =
            (std::uint32_t{in[i]} << 16) | (two ? std::uint32_t{in[i + 1]} << 8 : 0u);
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += two ? kAlphabet[(n >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::optional<float> lastHalfMedian(const std::vector<float>& values) {
    // A whole run in memory: room for all of it, so the median is exact.
    LastHalfMedian median(values.size());
    for (const float v : values) {
        median.add(v);
    }
    return median.median();
}

std::string escapeClosingTags(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == '<' && i + 1 < text.size() && text[i + 1] == '/') {
            out += '\\';
        }
    }
    return out;
}

nlohmann::json reportData(const ReportSink& sink, const WaveformOverview& waveform,
                          const nlohmann::json& summary, const nlohmann::json& settings) {
    nlohmann::json scalars = nlohmann::json::array();
    for (std::size_t i = 0; i < sink.scalarNames().size(); ++i) {
        scalars.push_back(
            {{"name", sink.scalarNames()[i]}, {"values", floatsBase64(sink.series()[i])}});
    }

    nlohmann::json spectra = nullptr;
    if (!sink.spectrograms().empty()) {
        const SpectrogramImage& first = sink.spectrograms().front().second;
        nlohmann::json images = nlohmann::json::array();
        for (const auto& [name, image] : sink.spectrograms()) {
            images.push_back(
                {{"name", name},
                 {"pixels", base64Encode(image.pixels().data(), image.pixels().size())}});
        }
        spectra = {{"rows", first.rows()},
                   {"columns", first.columns()},
                   {"frames_per_column", first.framesPerColumn()},
                   {"row_first_bin", first.rowFirstBin()},
                   {"row_end_bin", first.rowEndBin()},
                   {"bins", first.rowEndBin().back()},
                   {"images", images}};
    }

    return {{"format", "korvala-report/1"},
            {"summary", summary},
            {"settings", settings},
            {"frames", sink.times().size()},
            {"time", doublesBase64(sink.times())},
            {"scalars", scalars},
            {"transitions", sink.transitionFrames()},
            {"onsets", sink.onsetFrames()},
            {"waveform",
             {{"sample_rate", 44100},
              {"samples", waveform.samples()},
              {"samples_per_bucket", waveform.samplesPerBucket()},
              {"min", floatsBase64(waveform.minima())},
              {"max", floatsBase64(waveform.maxima())}}},
            {"spectra", spectra}};
}

std::string renderReportPage(const ReportAssets& assets, const nlohmann::json& data) {
    // Names that are not valid UTF-8 (a file name, say) are replaced rather than
    // failing the whole report.
    const std::string json =
        escapeClosingTags(data.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    const std::string_view slots[][2] = {
        {"PLOT_STYLE", assets.plotStyle},
        {"PAGE_STYLE", assets.pageStyle},
        {"PLOT_SCRIPT", assets.plotScript},
        {"PAGE_SCRIPT", assets.pageScript},
        {"DATA", json},
    };
    static constexpr std::string_view kMark = "@@KORVALA_";
    const std::string_view page = assets.pageTemplate;
    std::string out;
    out.reserve(page.size() + json.size() + assets.plotScript.size() + assets.pageScript.size());
    std::size_t pos = 0;
    while (pos < page.size()) {
        const std::size_t start = page.find(kMark, pos);
        if (start == std::string_view::npos) {
            break;
        }
        const std::size_t nameStart = start + kMark.size();
        const std::size_t end = page.find("@@", nameStart);
        if (end == std::string_view::npos) {
            break;
        }
        const std::string_view name = page.substr(nameStart, end - nameStart);
        out.append(page.substr(pos, start - pos));
        bool filled = false;
        for (const auto& slot : slots) {
            if (slot[0] == name) {
                // Inlined library text is escaped too: a "</script" inside it
                // would end the element early.
                out += slot[0] == "DATA" ? std::string(slot[1])
                                         : escapeClosingTags(std::string(slot[1]));
                filled = true;
                break;
            }
        }
        if (!filled) {
            out.append(page.substr(start, end + 2 - start));
        }
        pos = end + 2;
    }
    out.append(page.substr(pos));
    return out;
}

} // namespace korvala::cli
