#include "tools/korvala/ComponentDocs.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>

namespace korvala::cli {

namespace {

// Words used by many entries, explained once at the top of the listing.
constexpr const char* kTerms =
    R"(Terms used below:
- block: the samples the host pushes at a time (512 in this command); each block slides
  a 2048-sample window (46 ms) that is analysed with a 2048-point FFT (1024 bins of
  21.53 Hz).
- frame: one update of the components (60 per second by default, --fps); every rate
  below is given per second and holds at any frame rate.
- the bands: overall = the largest sample of the window (its peak level); bass = the
  mean power of the bins from 0 to 250 Hz; mid = 250 to 1000 Hz; mid-high = 1000 to
  4000 Hz; high = 4000 to 22050 Hz.
- relative level: a band's newest value divided by its slowly falling peak (a peak
  halves in about 1400 blocks, 16 s), so about 1 at the loudest recent moment.
- deviance: how many standard deviations the newest value lies above the mean of its
  last 173 blocks (2 s).
- followed: held by a peak follower that jumps up to a louder input and otherwise falls
  by a fixed fraction per 1/60 s.
- reactivity r and audio speed s: the two user controls, 0 to 1, neutral at 0.5
  (--reactivity, --audio-speed).)";

constexpr const char* kTransition =
    "A transition marks a change in the music's structure, such as a drop or a new section. "
    "Every frame the deviances of the four bands (bass, mid, mid-high, high) are added, the "
    "sum squared and multiplied by 0.001. A transition fires when that number exceeds "
    "\"kor_Threshold\" while the threshold is below 0.9; the threshold then jumps back to 1 "
    "and relaxes again by 6 % per second (below 0.9 after about 1.8 s, 0.5 after about "
    "11.6 s). So two transitions are at least 1.8 s apart, and the longer the music has been "
    "steady, the smaller the change that fires the next one. The controls do not change it.";

const std::vector<ComponentGroup> kGroups = {
    {"levels", "Levels",
     "How loud each band is right now, relative to its own recent loudest moment."},
    {"hits", "Hits", "Sudden rises of a band's level above its average of the last 2 seconds."},
    {"presence", "Presence, intensity, fade",
     "Slow measures: where a band sits within its recent range, energy that builds over "
     "seconds, a fade that follows sound and silence, and the threshold that fires "
     "transitions."},
    {"beats", "Beats",
     "Values that react to onsets (sudden rises of the overall RMS level) and to rare "
     "structural moments."},
    {"tempo", "Tempo and confidence",
     "The tempo estimated from the last 12 seconds and how steady that estimate has been."},
    {"oscillators", "Tempo oscillators",
     "Waves and counters locked to the tempo, scaled by its confidence."},
    {"clocks", "Clocks",
     "Running times that advance with the elapsed time, the loudness of a band or the beats."},
    {"vectors", "Spectra and histories",
     "Arrays of values read whole: spectra, the waveform and the recent history of levels."},
    {"felt", "Felt tempo (opt-in)",
     "The tempo a listener taps along to, placed inside a range the host chooses, with an "
     "honest confidence. Only present when the felt layer runs (korvala/feel, "
     "Korvala::FeltTempo; --tempo-range, --gate or --latency-ms); the values above stay as "
     "they are."},
    {"music", "Music gate and predicted beats (opt-in)",
     "Whether music is playing, counted starts and stops, and beats predicted ahead of the "
     "audio. Present with the felt tempo (the same options)."},
};

// Shared wording for the five-band families.
#define KOR_LEVEL(NAME, BAND)                                                                      \
    {                                                                                              \
        NAME, "levels",                                                                            \
            "Followed " BAND                                                                       \
            " level: the relative level doubled and clipped to 1, falling by 2 % per "             \
            "1/60 s.",                                                                             \
            "0 to 1", "-",                                                                         \
            "Reactivity: below 0.5 the input is scaled by sqrt(2r) and the fall slows (to 0.5 % "  \
            "per "                                                                                 \
            "1/60 s at r = 0, where the value only falls); above 0.5 it falls faster (10 % per "   \
            "1/60 s "                                                                              \
            "at r = 1)."                                                                           \
    }
#define KOR_HITS(NAME, BAND)                                                                       \
    {                                                                                              \
        NAME, "hits",                                                                              \
            "Sudden rises of the " BAND " level: its deviance divided by 1.5 (so 1.5 standard "    \
            "deviations read 1), clipped to 0 to 1 and followed, falling by 10 % per 1/60 s. "     \
            "Steady "                                                                              \
            "or quiet passages read 0.",                                                           \
            "0 to 1", "-",                                                                         \
            "Reactivity: below 0.5 scaled by sqrt(2r); above 0.5 blended toward twice its square " \
            "(small rises shrink, big ones grow)."                                                 \
    }
#define KOR_PRESENCE(NAME, BAND)                                                                   \
    {                                                                                              \
        NAME, "presence",                                                                          \
            "Where the " BAND                                                                      \
            " level (its 2-second mean, smoothed with a 1-second half-life) sits "                 \
            "between a low and a high mark that drift toward it: 0 at the bottom of the recent "   \
            "range, 1 at the top.",                                                                \
            "0 to 1", "-",                                                                         \
            "Reactivity sets how fast the marks drift: 3 % of the distance per second at 0.5, 24 " \
            "% at "                                                                                \
            "1, not at all at 0; below r = 0.1 the value is also scaled by 10r."                   \
    }
#define KOR_TIME(NAME, BAND)                                                                       \
    {                                                                                              \
        NAME, "clocks",                                                                            \
            "A clock that runs with the " BAND                                                     \
            " level: it advances by 7.5 x 2s x the followed level "                                \
            "(doubled relative level, falling by 20 % per 1/60 s) per second, so 7.5 per second "  \
            "at "                                                                                  \
            "full level and s = 0.5.",                                                             \
            "0 upward, never falls", "-",                                                          \
            "Audio speed scales the rate (stops at 0, doubles at 1). Reactivity below 0.5 blends " \
            "the "                                                                                 \
            "level toward a fixed 0.3 (at r = 0 it runs at 2.25 per second whatever the audio); "  \
            "above 0.5 toward 1.5 x its square."                                                   \
    }
#define KOR_SIN(NAME, BEATS)                                                                       \
    {                                                                                              \
        NAME, "oscillators",                                                                       \
            "A smooth wave locked to the tempo, one cycle every " BEATS                            \
            ": 1 at the start of a cycle, "                                                        \
            "0 in its middle; multiplied by the tracker's confidence.",                            \
            "0 to 1", "-",                                                                         \
            "Audio speed multiplies the tempo it runs at (x1 from 0.25 to 0.75, x2 from 0.75, up " \
            "to "                                                                                  \
            "x16 at 1; x0.5 to x0.125 below 0.25; stopped at 0). 0 when reactivity is below "      \
            "0.001."                                                                               \
    }
#define KOR_TRI(NAME, BEATS)                                                                       \
    {                                                                                              \
        NAME, "oscillators",                                                                       \
            "A ramp locked to the tempo: rises from 0 to 1 over " BEATS                            \
            " and drops back to 0; multiplied by the tracker's confidence.",                       \
            "0 to 1", "-", "Audio speed and reactivity as for kor_BPMSin."                         \
    }

const std::vector<ComponentDoc> kDocs = {
    KOR_LEVEL("kor_Level", "overall"),
    KOR_LEVEL("kor_BassLevel", "bass (0-250 Hz)"),
    KOR_LEVEL("kor_MidLevel", "mid (250-1000 Hz)"),
    KOR_LEVEL("kor_MidHighLevel", "mid-high (1000-4000 Hz)"),
    KOR_LEVEL("kor_HighLevel", "high (4000-22050 Hz)"),
    {"kor_InputLevel", "levels",
     "The largest sample of the newest 2048-sample window, as it is: not followed, not "
     "normalised.",
     "0 upward (1 is full scale)", "sample value", "Nothing: the controls do not change it."},
    {"kor_RawLevel", "levels",
     "The newest window's largest sample divided by its own running peak, which loses 3 % per "
     "second: exactly 1 on every new loudest moment.",
     "0 to 1", "-", "Nothing: the controls do not change it."},

    KOR_HITS("kor_Hits", "overall"),
    KOR_HITS("kor_BassHits", "bass (0-250 Hz)"),
    KOR_HITS("kor_MidHits", "mid (250-1000 Hz)"),
    KOR_HITS("kor_MidHighHits", "mid-high (1000-4000 Hz)"),
    KOR_HITS("kor_HighHits", "high (4000-22050 Hz)"),

    KOR_PRESENCE("kor_Presence", "overall"),
    KOR_PRESENCE("kor_BassPresence", "bass (0-250 Hz)"),
    KOR_PRESENCE("kor_MidPresence", "mid (250-1000 Hz)"),
    KOR_PRESENCE("kor_MidHighPresence", "mid-high (1000-4000 Hz)"),
    KOR_PRESENCE("kor_HighPresence", "high (4000-22050 Hz)"),
    {"kor_Intensity", "presence",
     "Energy that builds while the music is loud: while the overall relative level is above "
     "0.1 it rises by 0.18 x that level per second, otherwise it falls by 1.56 x its value per "
     "second.",
     "0 to 1", "-", "Nothing: the controls do not change it."},
    {"kor_FadeInOut", "presence",
     "Fades in with sound and out in silence: while the overall relative level is above 0.05 "
     "it rises by 9 x that level per second (full within a fraction of a second), otherwise it "
     "falls by 0.3 x its value per second.",
     "0 to 1", "-",
     "Reactivity below 0.5 blends the level it sees toward 1 (at r = 0 it fades in whatever "
     "the audio)."},
    {"kor_Threshold", "presence",
     "The level a change must exceed to fire a transition: 1 after each transition, then "
     "relaxing by 6 % per second. See \"What fires a transition\".",
     "0 to 1", "-", "Nothing: the controls do not change it."},

    {"kor_OnBeat", "beats",
     "A pulse on each onset: 1 when the RMS level of the window lies 1.5 standard deviations "
     "above its 2-second mean, then falling fast (to 20 % per 1/60 s at r = 0.5). After an "
     "onset the next can come no sooner than 0.12 s.",
     "0 to 1", "-",
     "Reactivity sets the onset threshold (2.25 standard deviations at r = 0, 0.75 at r = 1) "
     "and the fall (slower at low r); 0 below r = 0.001."},
    {"kor_ToggleOnBeat", "beats",
     "Flips between 0 and 1 on each onset (the kor_OnBeat rule), easing across in about "
     "0.3 s (halfway after 0.15 s).",
     "0 to 1", "-", "Reactivity sets the onset threshold; 0 below r = 0.001."},
    {"kor_RandomOnBeat", "beats",
     "Glides to a new random position on each onset (the kor_OnBeat rule), at least 0.3 away "
     "from where it was; halfway there in the onset's frame. Each engine draws from a sequence "
     "of its own that starts the same way, so runs repeat.",
     "0 to below 1", "-",
     "Reactivity sets the onset threshold; the value stops moving below r = 0.001."},
    {"kor_BassExpoCurve", "beats",
     "The followed bass relative level (falling by 2 % per 1/60 s) on a steep exponential "
     "curve (b^x - 1) / (b - 1): 0 stays 0, 1 stays 1, middle values are pushed down.",
     "0 to 1", "-", "Reactivity sets the steepness b = 50 + 400r (250 at 0.5); 0 at r = 0."},
    {"kor_PrimeBang", "beats",
     "1 for a single frame at a rare structural moment, else 0. After a bang it waits at "
     "least 12 s, then bangs on an overall-level deviance of 3.45 (2.4 once 30 s have passed, "
     "1.5 after 60 s).",
     "0 or 1", "-",
     "Reactivity below 0.5 stretches the three waits toward 36, 90 and 180 s at r = 0; it never "
     "bangs at r = 0."},

    {"kor_BPM", "tempo",
     "The tempo. Every 12th block the tracker takes, for 22 one-octave bands (0 Hz to 22 kHz, "
     "half an octave apart), how their levels rose and fell over the last 1024 blocks "
     "(11.9 s), picks the strongest beat rate, folds it into 50 to 220 BPM and votes over the "
     "last 60 such estimates (8.4 s) in 10-BPM bins; the value is the mean of the winning "
     "bin's estimates. 0 until the first estimate (0.14 s).",
     "0, or 50 to 220", "BPM",
     "Only the audio. The tracker assumes 512-sample blocks at 44100 Hz."},
    {"kor_BPMConfidence", "tempo",
     "How steady the tempo vote has been: 0 when the winning bin changes, climbing to 1 after "
     "about 17 s with the same winner (smoothed).",
     "0 to 1", "-", "Reactivity adds r - 0.5 before clipping to 0 to 1."},

    KOR_SIN("kor_BPMSin", "beat"),
    KOR_SIN("kor_BPMSin2", "2 beats"),
    KOR_SIN("kor_BPMSin4", "4 beats"),
    KOR_SIN("kor_BPMSin8", "8 beats"),
    KOR_TRI("kor_BPMTri", "each beat"),
    KOR_TRI("kor_BPMTri2", "2 beats"),
    KOR_TRI("kor_BPMTri4", "4 beats"),
    KOR_TRI("kor_BPMTri8", "8 beats"),
    {"kor_BPMTwitcher", "oscillators",
     "A count of beats at the tempo that steps: early in each beat it jumps most of the way to "
     "the next whole number, then waits.",
     "0 upward, never falls", "beats",
     "Reactivity sets the step: a plain steady count at 0, sharper steps toward 1. Audio speed "
     "multiplies the tempo as for kor_BPMSin."},

    {"TIME", "clocks", "Elapsed time: advances by 2s x the frame time, so seconds at s = 0.5.",
     "0 upward", "seconds (at s = 0.5)", "Audio speed: stopped at 0, double speed at 1."},
    KOR_TIME("kor_Time", "overall"),
    KOR_TIME("kor_BassTime", "bass (0-250 Hz)"),
    KOR_TIME("kor_MidTime", "mid (250-1000 Hz)"),
    KOR_TIME("kor_MidHighTime", "mid-high (1000-4000 Hz)"),
    KOR_TIME("kor_HighTime", "high (4000-22050 Hz)"),
    {"kor_CurvedTime", "clocks",
     "A clock that runs with the square of the followed overall relative level: 7.5 x 2s x a^2 "
     "per second, so loud passages race and quiet ones crawl.",
     "0 upward, never falls", "-",
     "Audio speed scales the rate. Reactivity below 0.5 blends the rate toward a fixed 0.125; "
     "at 1 it becomes 2.5 x a^4."},
    {"kor_BeatTime", "clocks",
     "A beat counter: one more on each onset (the kor_OnBeat rule). Its steps are the beats of "
     "`korvala events`.",
     "0 upward, whole numbers", "beats",
     "Reactivity sets the onset threshold; it does not count when r or s is at or below "
     "0.001."},

    {"kor_Spectrum", "vectors",
     "1024 values: the power of FFT bin i (i x 21.53 Hz, 0 to 22 kHz) on a log scale, "
     "0.2 x log10(power) + 1, so a power of 1e-5 or less reads 0 and 1 reads 1.",
     "1024 values, 0 to about 1", "-",
     "Reactivity below 0.5 scales it down (0 at r = 0); above 0.5 it is bent toward a curve "
     "that lifts strong bins."},
    {"kor_SpectrumJuiced", "vectors",
     "1024 values meant to look lively: each bin against its slowly falling peak, high "
     "frequencies boosted, low bins stretched and high bins averaged in growing groups, on a "
     "log scale, blurred and smoothed over time with separate rise and fall rates.",
     "1024 values, 0 to 1", "-", "Reactivity shapes the curve and its rise and fall."},
    {"kor_SpectrumSmooth", "vectors",
     "1024 values drawn smoothly from 35 bands (16 Hz to 22 kHz, doubling in width every four "
     "bands): each point a weighted blend of nearby bands in decibels, over a range that widens "
     "from 2.3 dB at the left to 45 dB from 60 % of the width on, smoothed over time.",
     "1024 values, 0 to 1", "-", "Reactivity sets the smoothing over time."},
    {"kor_Waveform", "vectors",
     "The first 1024 samples of the newest 2048-sample window mapped to 0 to 1 (0.5 is "
     "silence).",
     "1024 values, 0 to 1", "-", "Reactivity scales the samples by 2r before clipping."},
    {"kor_TimeSeries", "vectors",
     "The last 400 frames of the overall relative level (doubled, clipped to 1, each frame "
     "60 % new and 40 % previous), oldest first.",
     "400 values, 0 to 1", "-", "Nothing: the controls do not change it."},
    {"kor_BassTimeSeries", "vectors", "As kor_TimeSeries for the bass band (0-250 Hz).",
     "400 values, 0 to 1", "-", "Nothing."},
    {"kor_MidTimeSeries", "vectors", "As kor_TimeSeries for the mid band (250-1000 Hz).",
     "400 values, 0 to 1", "-", "Nothing."},
    {"kor_HighTimeSeries", "vectors", "As kor_TimeSeries for the high band (4000-22050 Hz).",
     "400 values, 0 to 1", "-", "Nothing."},

    {"felt_BPM", "felt",
     "The felt tempo: the strongest steady pulse of the onset envelope and the bass onsets, "
     "moved by whole octaves (x 2, x 1/2) into the range when the evidence for that octave wins "
     "clearly. The range's centre until a beat is found.",
     "LO to HI of --tempo-range (80 to 160 without it)", "BPM",
     "--tempo-range LO-HI (any of the three options adds it). Restarts when the gate opens."},
    {"felt_Confidence", "felt",
     "How clearly the envelope repeats at the felt tempo: near 0 on silence, noise and music "
     "without a steady beat; 0 while the gate says no music plays.",
     "0 to 1", "-", "--gate makes it 0 while no music plays."},
    {"felt_Pulse", "felt",
     "The strongest pulse over 40 to 250 BPM before it is moved into the range (the tracker's "
     "tempo moved to the envelope's nearest peak).",
     "40 to 250, or 0 before the first estimate", "BPM", "Only the audio."},
    {"music_Playing", "music",
     "1 while the music gate is open, 0 while it is closed. The gate opens once the level has "
     "stayed above -50 dBFS for 0.15 s and closes once it has stayed below -60 dBFS for 0.5 s.",
     "0 or 1", "-", "--gate; without it always 1."},
    {"music_Starts", "music", "How many times the gate has opened (\"music started\").",
     "0 upward, whole numbers", "events", "--gate; without it always 0."},
    {"music_Stops", "music", "How many times the gate has closed (\"music stopped\").",
     "0 upward, whole numbers", "events", "--gate; without it always 0."},
    {"beat_Phase", "music",
     "Where the present moment plus the latency offset falls inside the felt beat: 0 on a "
     "predicted beat, rising to just below 1 before the next.",
     "0 to 1 (1 excluded)", "beats", "--latency-ms N shifts it N ms ahead of the audio."},
    {"beat_Predicted", "music",
     "1 on the frame a predicted beat (N ms ahead of the audio) falls in, else 0; not while the "
     "felt confidence is 0.",
     "0 or 1", "-", "--latency-ms N: how far ahead."},
};

#undef KOR_LEVEL
#undef KOR_HITS
#undef KOR_PRESENCE
#undef KOR_TIME
#undef KOR_SIN
#undef KOR_TRI

std::string lower(const std::string& text) {
    std::string out = text;
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// Edit distance between two lower-cased names.
std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// Wraps `text` at `width` columns, each line starting with `indent`.
std::string wrapped(const std::string& text, std::size_t width, const std::string& indent) {
    std::string out;
    std::string line = indent;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string word = text.substr(start, end - start);
        if (line.size() > indent.size() && line.size() + 1 + word.size() > width) {
            out += line + '\n';
            line = indent;
        }
        line += (line.size() > indent.size() ? " " : "") + word;
        start = end + 1;
    }
    return out + line + '\n';
}

std::string markdownCell(const char* text) {
    std::string out;
    for (const char* p = text; *p != '\0'; ++p) {
        out += *p == '|' ? std::string("\\|") : std::string(1, *p);
    }
    return out;
}

} // namespace

const std::vector<ComponentGroup>& componentGroups() {
    return kGroups;
}

const std::vector<ComponentDoc>& componentDocs() {
    return kDocs;
}

const ComponentDoc* findComponentDoc(const std::string& name) {
    for (const ComponentDoc& doc : kDocs) {
        if (name == doc.name) {
            return &doc;
        }
    }
    return nullptr;
}

const char* transitionExplanation() {
    return kTransition;
}

std::string componentListText(const std::vector<std::string>& names) {
    std::string out;
    if (names.empty()) {
        out += std::string(kTerms) + "\n\n";
    }
    for (const ComponentGroup& group : kGroups) {
        std::string section;
        for (const ComponentDoc& doc : kDocs) {
            if (std::string(doc.group) != group.id ||
                (!names.empty() &&
                 std::find(names.begin(), names.end(), doc.name) == names.end())) {
                continue;
            }
            section +=
                fmt::format("{}  [{}{}]\n", doc.name, doc.range,
                            std::string(doc.unit) == "-" ? "" : std::string(", ") + doc.unit);
            section += wrapped(doc.meaning, 90, "    ");
            section += wrapped(doc.shapedBy, 90, "    ");
        }
        if (!section.empty()) {
            out += fmt::format("== {} ==\n", group.title) + wrapped(group.sentence, 90, "") + "\n" +
                   section + "\n";
        }
    }
    if (names.empty()) {
        out += "== What fires a transition ==\n" + wrapped(kTransition, 90, "");
    }
    return out;
}

std::string componentListMarkdown() {
    std::string out =
        "# The components\n\n"
        "<!-- Generated by `korvala list --format markdown`; a test checks that this file "
        "matches it. -->\n\n"
        "Every name a host can read from `Korvala::AudioEngine` (the last two groups only with "
        "the opt-in felt layer, `Korvala::FeltTempo`): what it measures, the values it takes and "
        "what shapes it. `korvala list` prints the same table.\n\n";
    out += "## Terms\n\n";
    std::string terms = kTerms;
    out += terms.substr(terms.find('\n') + 1) + "\n\n";
    for (const ComponentGroup& group : kGroups) {
        out += fmt::format("## {}\n\n{}\n\n", group.title, group.sentence);
        out += "| Name | Meaning | Range | Unit | Shaped by |\n|---|---|---|---|---|\n";
        for (const ComponentDoc& doc : kDocs) {
            if (std::string(doc.group) == group.id) {
                out += fmt::format("| `{}` | {} | {} | {} | {} |\n", doc.name,
                                   markdownCell(doc.meaning), markdownCell(doc.range),
                                   markdownCell(doc.unit), markdownCell(doc.shapedBy));
            }
        }
        out += "\n";
    }
    out += std::string("## What fires a transition\n\n") + kTransition + "\n";
    return out;
}

std::optional<std::string> matchAnyCase(const std::string& wanted,
                                        const std::vector<std::string>& names) {
    const std::string key = lower(wanted);
    for (const std::string& name : names) {
        if (lower(name) == key) {
            return name;
        }
    }
    return std::nullopt;
}

std::optional<std::string> nearestName(const std::string& wrong,
                                       const std::vector<std::string>& names) {
    const std::string key = lower(wrong);
    std::optional<std::string> best;
    std::size_t bestDistance = std::max<std::size_t>(2, key.size() / 4) + 1;
    for (const std::string& name : names) {
        const std::size_t distance = editDistance(key, lower(name));
        if (distance < bestDistance) {
            bestDistance = distance;
            best = name;
        }
    }
    return best;
}

} // namespace korvala::cli
