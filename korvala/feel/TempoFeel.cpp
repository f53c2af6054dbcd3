#include "korvala/feel/TempoFeel.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace Korvala {

namespace {
constexpr float kMinGridBPM = TempoFeel::kLowestBPM;
constexpr float kMaxGridBPM = TempoFeel::kHighestBPM;
// Tempo, confidence and phase are re-evaluated every this-many envelope frames.
constexpr std::uint64_t kTempoEvery = 8;
constexpr std::uint64_t kPhaseEvery = 2;
// Memory of the autocorrelation, of the band loudness references and of the
// envelope's local mean, in seconds.
constexpr float kAcfSeconds = 4.0f;
constexpr float kReferenceSeconds = 2.0f;
constexpr float kLocalMeanSeconds = 0.25f;
// A band's level at or below this share of its recent loudness counts as quiet:
// the log compression flattens everything below it (about −10 dB).
constexpr float kQuietShare = 0.1f;
constexpr float kLeakageShare = 1e-4f;
// Preferred tempo and the width of the preference, in octaves, for finding the
// pulse among every periodicity of the envelope.
constexpr float kPreferredBPM = 120.0f;
constexpr float kPreferenceOctaves = 1.0f;
// Width of the preference for the range's centre when choosing among the
// octaves of the pulse. The envelope repeats at every multiple of a beat
// period about as strongly as at the beat itself, so its periodicity hardly
// tells one octave from the next; the choice rests on where the listener's
// beat lies, near the middle of the range, and the evidence only decides
// between two octaves near the half-way point between them (a quarter octave:
// an octave further from the centre weighs e^-8 less, a 2:1 evidence ratio
// shifts the boundary by about 3 %).
constexpr float kOctaveChoiceOctaves = 0.25f;
// The felt tempo moves to another peak only when that one scores this much more.
constexpr float kSwitchMargin = 1.15f;
constexpr float kTrackerOutvoted = 2.0f;
// Within this ratio a new best tempo is the same beat drifting, taken at once.
constexpr float kSameBeat = 1.04f;
// How long the pulse must stay off the felt beat's octaves before the felt
// beat follows it: two beats at 120 BPM, enough to tell a lasting change
// from the wavering of an ambiguous pattern, well inside the time a tempo
// change takes to show in the tracker.
constexpr float kFollowSeconds = 1.0f;
// Salience of the pulse above the grid's mean that still reads as no beat (about
// what white noise reaches with a 4 s memory), and the span to full confidence.
constexpr float kConfidenceFloor = 0.1f;
constexpr float kConfidenceSpan = 0.4f;
constexpr float kWarmupSeconds = 2.0f;
// About the variance of an envelope whose bands rise by 1 % per frame at random.
constexpr float kVarianceFloor = 1e-4f;
// Phase comb: beats combined and the weight of each older one.
constexpr int kCombBeats = 8;
constexpr float kCombDecay = 0.8f;
constexpr double kPhaseGain = 0.25;

// Whether two tempos are levels of one metrical grid: a half, a third or two
// thirds of each other (beats grouped in twos or threes, or a simple beat
// against a dotted one), within the tolerance of one beat drifting.
bool metricallyRelated(float a, float b) {
    for (const float ratio : {2.0f, 3.0f, 1.5f}) {
        for (const float r : {ratio, 1.0f / ratio}) {
            const float x = a / (b * r);
            if (x <= kSameBeat && x >= 1.0f / kSameBeat) {
                return true;
            }
        }
    }
    return false;
}

float preference(float bpm, float centre, float width) {
    const float octaves = std::log2(bpm / centre) / width;
    return std::exp(-0.5f * octaves * octaves);
}

// Vertex offset in [−0.5, 0.5] of the parabola through three equally spaced values.
float vertexOffset(float left, float mid, float right) {
    const float curvature = left - 2.0f * mid + right;
    if (!(curvature < 0.0f)) {
        return 0.0f;
    }
    return std::clamp(0.5f * (left - right) / curvature, -0.5f, 0.5f);
}
} // namespace

namespace {
const TempoFeel::Settings& checked(const TempoFeel::Settings& settings) {
    if (!settings.valid()) {
        throw std::invalid_argument(
            "TempoFeel: the range must lie within 40-250 BPM with its low end below its high "
            "end, and the latency within 0-1000 ms");
    }
    return settings;
}
} // namespace

TempoFeel::TempoFeel(const Settings& settings)
    : settings_(checked(settings)), ring_(2 * kHistory, 0.0f), bassRing_(2 * kHistory, 0.0f),
      feltBPM_(std::sqrt(settings.minBPM * settings.maxBPM)) {
    const float step = std::log2(kMaxGridBPM / kMinGridBPM) / static_cast<float>(kGrid - 1);
    for (std::size_t g = 0; g < kGrid; ++g) {
        gridBPM_[g] = kMinGridBPM * std::exp2(step * static_cast<float>(g));
    }
    restart();
}

void TempoFeel::restart() noexcept {
    std::fill(ring_.begin(), ring_.end(), 0.0f);
    std::fill(bassRing_.begin(), bassRing_.end(), 0.0f);
    acf_.fill(0.0f);
    bassAcf_.fill(0.0f);
    gridSalience_.fill(0.0f);
    reference_.fill(0.0f);
    previousLog_.fill(0.0f);
    primed_ = false;
    localMean_ = 0.0f;
    bassLocalMean_ = 0.0f;
    acfWeight_ = 0.0f;
    acfMean_ = 0.0f;
    bassAcfMean_ = 0.0f;
    framesSinceRestart_ = 0;
    confidence_ = 0.0f;
    feltFound_ = false;
    awaySeconds_ = 0.0f;
    phaseLocked_ = false;
    beatNumberBase_ = 0.0;
}

float TempoFeel::envelope(const float* levels, float* bass) noexcept {
    float rise = 0.0f;
    float bassRise = 0.0f;
    // Bands more than 40 dB below the average band are leakage and rounding:
    // their wobbles must not count as onsets.
    float loudness = 0.0f;
    for (std::size_t b = 0; b < kBands; ++b) {
        loudness += reference_[b];
    }
    const float floor = kLeakageShare * loudness / static_cast<float>(kBands);
    for (std::size_t b = 0; b < kBands; ++b) {
        const float level = levels[b] > 0.0f ? levels[b] : 0.0f; // NaN and negatives as 0
        float& ref = reference_[b];
        ref = primed_ ? ref + refRate_ * (level - ref) : level;
        // Each band against its own recent loudness: a quiet band's attack
        // counts as much as a loud one's.
        const float scale = ref + floor;
        const float ratio = scale > 1e-30f ? level / scale : 0.0f;
        const float logLevel = std::log(std::min(ratio, 1e6f) + kQuietShare);
        const float up = primed_ ? std::max(0.0f, logLevel - previousLog_[b]) : 0.0f;
        previousLog_[b] = logLevel;
        rise += up;
        if (b < kBassBands) {
            bassRise += up;
        }
    }
    primed_ = true;
    rise /= static_cast<float>(kBands);
    bassRise /= static_cast<float>(kBassBands);
    // Only what stands above the recent average marks an onset.
    localMean_ += meanRate_ * (rise - localMean_);
    bassLocalMean_ += meanRate_ * (bassRise - bassLocalMean_);
    *bass = std::max(0.0f, bassRise - bassLocalMean_);
    return std::max(0.0f, rise - localMean_);
}

void TempoFeel::addBlock(const float* bandLevels, std::size_t samples, bool playing,
                         float trackerBPM) noexcept {
    if (samples == 0) {
        return;
    }
    trackerBPM_ = trackerBPM;
    if (framesSinceRestart_ == 0 || static_cast<float>(samples) != hop_) {
        if (static_cast<float>(samples) != hop_ && framesSinceRestart_ != 0) {
            restart(); // another block size: another frame rate
        }
        hop_ = static_cast<float>(samples);
        frameRate_ = kSampleRate / hop_;
        acfDecay_ = std::exp(-1.0f / (kAcfSeconds * frameRate_));
        refRate_ = 1.0f - std::exp(-1.0f / (kReferenceSeconds * frameRate_));
        meanRate_ = 1.0f - std::exp(-1.0f / (kLocalMeanSeconds * frameRate_));
    }
    samples_ += samples;
    playing_ = playing;

    float bass = 0.0f;
    const float onset = envelope(bandLevels, &bass);
    ring_[head_] = onset;
    ring_[head_ + kHistory] = onset;
    bassRing_[head_] = bass;
    bassRing_[head_ + kHistory] = bass;

    // Running autocorrelation over lags 0 … kLags−1, stored reversed so the
    // newest kLags frames pair with it element by element.
    const float* recent = ring_.data() + head_ + kHistory + 1 - kLags;
    const float* bassRecent = bassRing_.data() + head_ + kHistory + 1 - kLags;
    const float decay = acfDecay_;
    for (std::size_t j = 0; j < kLags; ++j) {
        acf_[j] = decay * acf_[j] + onset * recent[j];
        bassAcf_[j] = decay * bassAcf_[j] + bass * bassRecent[j];
    }
    acfWeight_ = decay * acfWeight_ + 1.0f;
    acfMean_ = decay * acfMean_ + onset;
    bassAcfMean_ = decay * bassAcfMean_ + bass;

    head_ = (head_ + 1) % kHistory;
    ++frames_;
    ++framesSinceRestart_;
    if (framesSinceRestart_ % kTempoEvery == 0) {
        evaluateTempo();
    }
    if (feltFound_ && framesSinceRestart_ % kPhaseEvery == 0) {
        trackPhase();
    }
}

float TempoFeel::normalised(const std::array<float, kLags>& acf, float mean,
                            float lag) const noexcept {
    if (!(lag >= 0.0f) || lag > static_cast<float>(kLags - 1) || acfWeight_ <= 0.0f) {
        return 0.0f;
    }
    const float m = mean / acfWeight_;
    // The floor keeps an envelope that barely moves (a steady tone, rounding
    // noise) from normalising its tiny wobbles up to full correlation.
    const float variance = acf[kLags - 1] / acfWeight_ - m * m + kVarianceFloor;
    const auto k = static_cast<std::size_t>(lag);
    const float frac = lag - static_cast<float>(k);
    const float a = acf[kLags - 1 - k];
    const float b = k + 1 < kLags ? acf[kLags - 2 - k] : a;
    const float product = (a + frac * (b - a)) / acfWeight_;
    return (product - m * m) / variance;
}

// Periodicity strength at a lag of `lag` frames: the autocorrelation there and
// half of it at twice the lag, so a steady beat outscores a lone coincidence.
float TempoFeel::salience(float lag) const noexcept {
    return (normalised(acf_, acfMean_, lag) + 0.5f * normalised(acf_, acfMean_, 2.0f * lag)) / 1.5f;
}

// What speaks for `bpm` as the felt beat: its periodicity, how regularly the
// bass onsets repeat at it, and the preference for the middle of the range.
float TempoFeel::score(float bpm) const noexcept {
    const float lag = 60.0f * frameRate_ / bpm;
    const float bassRegularity = (normalised(bassAcf_, bassAcfMean_, lag) +
                                  0.5f * normalised(bassAcf_, bassAcfMean_, 2.0f * lag)) /
                                 1.5f;
    const float evidence = salience(lag) + 0.5f * std::max(0.0f, bassRegularity);
    const float centre = std::sqrt(settings_.minBPM * settings_.maxBPM);
    return std::max(0.0f, evidence) * preference(bpm, centre, kOctaveChoiceOctaves);
}

void TempoFeel::evaluateTempo() noexcept {
    float meanSalience = 0.0f;
    std::size_t best = 0;
    float bestWeighted = -1.0f;
    for (std::size_t g = 0; g < kGrid; ++g) {
        const float s = salience(60.0f * frameRate_ / gridBPM_[g]);
        gridSalience_[g] = s;
        meanSalience += s;
        const float weighted = s * preference(gridBPM_[g], kPreferredBPM, kPreferenceOctaves);
        if (weighted > bestWeighted) {
            bestWeighted = weighted;
            best = g;
        }
    }
    meanSalience /= static_cast<float>(kGrid);
    // The engine's tracker is the better judge of which pulse the music has
    // (it weighs every band's modulation over a longer span); its estimate
    // comes in 10-BPM bins, so the envelope's peak within 4 % of it is taken.
    // The tracker adapts slowly (it votes over several seconds of estimates):
    // where the envelope's strongest peak is over twice as salient as the
    // tracker's, the music has moved on and the envelope's own peak leads;
    // unless the two are levels of one metrical grid (the envelope peaks at
    // a grouping of the tracker's beat, such as the dotted beat of a
    // syncopated pattern), where the tracker's view of the beat stands.
    const float step = std::log2(gridBPM_[1] / gridBPM_[0]);
    const std::size_t ownBest = best;
    if (trackerBPM_ >= kMinGridBPM && trackerBPM_ <= kMaxGridBPM) {
        const auto nearest =
            static_cast<std::ptrdiff_t>(std::lround(std::log2(trackerBPM_ / kMinGridBPM) / step));
        const auto reach = static_cast<std::ptrdiff_t>(std::ceil(std::log2(kSameBeat) / step));
        const auto last = static_cast<std::ptrdiff_t>(kGrid - 1);
        best = static_cast<std::size_t>(std::clamp(nearest, std::ptrdiff_t{0}, last));
        for (std::ptrdiff_t g = std::max(std::ptrdiff_t{0}, nearest - reach);
             g <= std::min(last, nearest + reach); ++g) {
            if (gridSalience_[static_cast<std::size_t>(g)] > gridSalience_[best]) {
                best = static_cast<std::size_t>(g);
            }
        }
        if (gridSalience_[ownBest] > kTrackerOutvoted * gridSalience_[best] &&
            !metricallyRelated(gridBPM_[ownBest], trackerBPM_)) {
            best = ownBest;
        }
    }
    float pulse = gridBPM_[best];
    if (best > 0 && best + 1 < kGrid) {
        pulse *= std::exp2(step * vertexOffset(gridSalience_[best - 1], gridSalience_[best],
                                               gridSalience_[best + 1]));
    }
    pulseBPM_ = pulse;

    const float warmup =
        std::min(1.0f, static_cast<float>(framesSinceRestart_) / (kWarmupSeconds * frameRate_));
    const float lift = gridSalience_[best] - meanSalience;
    const float raw = std::clamp((lift - kConfidenceFloor) / kConfidenceSpan, 0.0f, 1.0f);
    confidence_ = playing_ ? raw * warmup : 0.0f;
    if (confidence_ <= 0.0f) {
        return; // no beat to place in the range: the felt tempo stays where it was
    }

    // Candidates: the pulse moved by octaves into the range. Other ratios (a
    // third, three halves) would change the metre the listener hears, not
    // only its octave; the pulse already is the best-supported metrical level.
    const float lo = settings_.minBPM;
    const float hi = settings_.maxBPM;
    float chosen = 0.0f;
    float chosenScore = -1.0f;
    for (int octave = -4; octave <= 4; ++octave) {
        const float bpm = std::ldexp(pulse, octave); // exact: a power of two apart
        // An octave just outside the range (within one beat's drift) still
        // competes, placed at the range's end: a piece at 79 BPM in 80–160
        // can be felt at 80 rather than only at 158.
        if (bpm < lo / kSameBeat || bpm > hi * kSameBeat) {
            continue;
        }
        // Refine between the neighbouring tempos a grid step away.
        const float ratio = gridBPM_[1] / gridBPM_[0];
        const float here = score(bpm);
        const float offset = vertexOffset(score(bpm / ratio), here, score(bpm * ratio));
        const float refined = std::clamp(bpm * std::pow(ratio, offset), lo, hi);
        const float s = score(refined);
        if (s > chosenScore) {
            chosenScore = s;
            chosen = refined;
        }
    }
    if (chosenScore < 0.0f) {
        // A range narrower than an octave that no octave of the pulse reaches:
        // the nearest end.
        float folded = pulse;
        while (folded < lo) {
            folded *= 2.0f;
        }
        while (folded > hi) {
            folded *= 0.5f;
        }
        chosen = std::clamp(folded, lo, hi);
        chosenScore = score(chosen);
    }

    if (!feltFound_) {
        feltBPM_ = chosen;
        feltFound_ = true;
        return;
    }
    const float drift = chosen > feltBPM_ ? chosen / feltBPM_ : feltBPM_ / chosen;
    if (drift <= kSameBeat) {
        feltBPM_ = chosen;
        awaySeconds_ = 0.0f;
        return;
    }
    // The pulse has left the felt beat's octaves (a new tempo, or the tracker
    // settled on another grouping of the beat): the felt beat follows it once
    // it has stayed away for a while, so a pulse wavering between two
    // groupings does not make the felt tempo flicker.
    const float octaves = std::log2(feltBPM_ / pulse);
    if (std::fabs(octaves - std::round(octaves)) > std::log2(kSameBeat)) {
        awaySeconds_ += static_cast<float>(kTempoEvery) / frameRate_;
        if (awaySeconds_ >= kFollowSeconds) {
            feltBPM_ = chosen;
            awaySeconds_ = 0.0f;
        }
        return;
    }
    awaySeconds_ = 0.0f;
    // Another octave of the same pulse: the current beat, re-scored where it
    // now peaks, must lose clearly.
    float current = score(feltBPM_);
    for (int i = -2; i <= 2; ++i) {
        current = std::max(current, score(feltBPM_ * (1.0f + 0.01f * static_cast<float>(i))));
    }
    if (chosenScore > kSwitchMargin * current) {
        feltBPM_ = chosen;
    }
}

float TempoFeel::envelopeAt(double framesBack) const noexcept {
    const double newest = static_cast<double>(head_ + kHistory - 1);
    const double position = newest - framesBack;
    const auto i = static_cast<std::size_t>(position);
    const auto frac = static_cast<float>(position - static_cast<double>(i));
    const float a = ring_[i];
    const float b = ring_[i + 1];
    return a + frac * (b - a);
}

void TempoFeel::trackPhase() noexcept {
    const double period = 60.0 / static_cast<double>(feltBPM_);
    const double lag = period * static_cast<double>(frameRate_);
    const auto maxBack = static_cast<double>(kHistory - 2);
    const int beats = std::min(kCombBeats, static_cast<int>(maxBack / lag) - 1);
    if (beats < 2) {
        return;
    }
    const auto span = static_cast<int>(std::ceil(lag));
    int best = 0;
    float bestValue = -1.0f;
    auto comb = [&](double back) {
        float sum = 0.0f;
        float weight = 1.0f;
        for (int m = 0; m < beats; ++m) {
            sum += weight * envelopeAt(back + lag * m);
            weight *= kCombDecay;
        }
        return sum;
    };
    for (int j = 0; j < span; ++j) {
        const float c = comb(j);
        if (c > bestValue) {
            bestValue = c;
            best = j;
        }
    }
    if (!(bestValue > 0.0f)) {
        return;
    }
    double back = best;
    if (best > 0) {
        back += static_cast<double>(vertexOffset(comb(best - 1.0), bestValue, comb(best + 1.0)));
    }
    // The newest frame's window ends at the last sample added; an onset shows
    // in the envelope kOnsetDelaySamples after it sounded.
    const double measured = (static_cast<double>(samples_) - back * static_cast<double>(hop_) -
                             static_cast<double>(kOnsetDelaySamples)) /
                            static_cast<double>(kSampleRate);
    if (!phaseLocked_) {
        beatReference_ = measured;
        phaseLocked_ = true;
        return;
    }
    const double n = std::round((measured - beatReference_) / period);
    const double expected = beatReference_ + n * period;
    beatReference_ = expected + kPhaseGain * (measured - expected);
    beatNumberBase_ += n;
}

TempoFeel::Prediction TempoFeel::predict() const noexcept {
    Prediction p;
    if (!phaseLocked_) {
        return p;
    }
    const double period = 60.0 / static_cast<double>(feltBPM_);
    const double at = audioSeconds() + static_cast<double>(settings_.latencyMs) / 1000.0;
    const double x = (at - beatReference_) / period;
    p.beat = beatNumberBase_ + x;
    p.phase = static_cast<float>(x - std::floor(x));
    return p;
}

} // namespace Korvala
