#include "tools/korvala/sources/FileFacts.h"

#include "korvala/engine/AudioEngine.h"
#include "tools/korvala/sources/SndfileSource.h"
#include "tools/korvala/sources/StandardInput.h"

#include <cmath>
#include <cstdio>
#include <memory>

namespace korvala::cli {

namespace {
// Passes another source's samples through and keeps their power and peak.
class LevelTapSource : public AudioSource {
public:
    explicit LevelTapSource(AudioSource& inner) : inner_(inner) {}
    std::size_t read(float* out, std::size_t capacity) override {
        const std::size_t got = inner_.read(out, capacity);
        for (std::size_t i = 0; i < got; ++i) {
            const double x = std::isfinite(out[i]) ? out[i] : 0.0;
            sumOfSquares_ += x * x;
            peak_ = std::max(peak_, std::fabs(x));
        }
        count_ += got;
        return got;
    }
    const SourceInfo& info() const override { return inner_.info(); }
    double rmsDbfs() const {
        return decibels(count_ > 0 ? std::sqrt(sumOfSquares_ / count_) : 0.0);
    }
    double peakDbfs() const { return decibels(peak_); }

private:
    static double decibels(double amplitude) {
        return amplitude > 0.0 ? 20.0 * std::log10(amplitude) : -INFINITY;
    }
    AudioSource& inner_;
    double sumOfSquares_ = 0.0;
    double peak_ = 0.0;
    std::uint64_t count_ = 0;
};
} // namespace

FileFacts analyseFile(const std::string& input, AnalysisOptions options) {
    std::unique_ptr<AudioSource> source;
    if (input == "-") {
        source = openStandardInput();
    } else {
        source = std::make_unique<SndfileSource>(input);
    }
    LevelTapSource tapped(*source);
    options.scalars = EventSink::scalarNames();
    options.vectors.clear();
    Korvala::AudioEngine engine;
    FileFacts facts;
    facts.result = runAnalysis(engine, tapped, options, facts.events);
    facts.info = source->info();
    facts.rmsDbfs = tapped.rmsDbfs();
    facts.peakDbfs = tapped.peakDbfs();
    return facts;
}

} // namespace korvala::cli
