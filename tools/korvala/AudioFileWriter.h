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

} // namespace korvala::cli
