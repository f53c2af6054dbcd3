#pragma once

#include <string>
#include <vector>

namespace korvala::cli {

/// Writes interleaved float samples to `path` with libsndfile, the container
/// chosen by the extension (.wav, .aiff/.aif, .flac, .ogg, .opus, .mp3, .raw for
/// headerless float32 little-endian) and the sample encoding by `encoding`
/// ("float", "pcm16", "pcm24" or "" for the container's natural one). The
/// file appears only once complete. UsageError for an unknown extension or an
/// encoding the container cannot hold; InputError when writing fails.
void writeAudioFile(const std::string& path, const std::vector<float>& interleaved, int sampleRate,
                    int channels, const std::string& encoding);

/// The rate a file at `path` is written at when none is asked for: 48000 Hz for
/// Opus (which takes only 8, 12, 16, 24 or 48 kHz), 44100 Hz otherwise.
int defaultSampleRate(const std::string& path);

/// The demo is rendered whole in memory before it is written: UsageError, before
/// any work, when the settings ask for more than kMaxDemoSamples samples (1 GiB),
/// or for an Opus rate Opus cannot take.
constexpr double kMaxDemoSamples = 268435456.0;
void checkDemoSize(const std::string& path, double seconds, int sampleRate, int channels);

} // namespace korvala::cli
