// The Python module: the engine for block-by-block use, and analyze(), which
// runs the korvala command's own analysis (sources, resampler, host schedule)
// and returns its columns as NumPy arrays.

#include "korvala/engine/AudioEngine.h"
#include "korvala/engine/ComponentTable.h"
#include "korvala/live/LiveEngine.h"
#include "korvala/live/LiveSnapshot.h"
#include "tools/korvala/AnalysisRun.h"
#include "tools/korvala/ToolError.h"
#include "tools/korvala/sources/ArraySource.h"
#include "tools/korvala/sources/SndfileSource.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <array>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace py = pybind11;
using namespace korvala::cli;

namespace {

// Any array of numbers (or a sequence of them) converted to contiguous float32.
using FloatArray = py::array_t<float, py::array::c_style | py::array::forcecast>;

constexpr std::size_t kMaxBlock = 2048;

std::size_t indexOf(const std::vector<std::string>& names, const std::string& name,
                    const char* kind) {
    const auto at = std::lower_bound(names.begin(), names.end(), name);
    if (at == names.end() || *at != name) {
        throw py::key_error("no " + std::string(kind) + " component named '" + name + "'");
    }
    return static_cast<std::size_t>(at - names.begin());
}

// A failure to read a file, as Python's OSError.
[[noreturn]] void raiseOSError(const std::string& message) {
    PyErr_SetString(PyExc_OSError, message.c_str());
    throw py::error_already_set();
}

py::array_t<float> toArray(const std::vector<float>& values) {
    return py::array_t<float>(static_cast<py::ssize_t>(values.size()), values.data());
}

/// korvala.Engine: one AudioEngine, driven by the caller.
class PyEngine {
public:
    PyEngine() {
        // Seeded as the command seeds it, "kor_RandomOnBeat" repeats the command's values.
        engine_.setRandomSeed(1);
        scalarNames_ = engineScalarNames(engine_);
        vectorNames_ = engineVectorNames(engine_);
        for (const std::string& name : scalarNames_) {
            scalars_.push_back(engine_.getController().getComponent(name));
        }
        for (const std::string& name : vectorNames_) {
            vectors_.push_back(engine_.getController().getComponent2D(name));
        }
        block_.reserve(kMaxBlock);
    }
    PyEngine(const PyEngine&) = delete;
    PyEngine& operator=(const PyEngine&) = delete;
    ~PyEngine() { engine_.setTransitionComponent(nullptr, nullptr); }

    void process(const FloatArray& samples) {
        if (samples.ndim() != 1) {
            throw py::value_error("process: expected a one-dimensional block of samples, got " +
                                  std::to_string(samples.ndim()) + " dimensions");
        }
        const auto count = static_cast<std::size_t>(samples.shape(0));
        if (count > kMaxBlock) {
            throw py::value_error("process: a block holds at most 2048 samples, got " +
                                  std::to_string(count));
        }
        block_.assign(samples.data(), samples.data() + count);
        engine_.processAudio(block_);
    }

    void update(float dt) {
        engine_.update(dt);
        if (pending_) {
            // The transition handler raised inside update: raise it here.
            std::exception_ptr error = pending_;
            pending_ = nullptr;
            std::rethrow_exception(error);
        }
    }

    void reset() { engine_.resetComponents(); }

    float value(const std::string& name) const {
        return scalars_[indexOf(scalarNames_, name, "scalar")]->getValue();
    }

    py::dict values() const {
        py::dict result;
        for (std::size_t i = 0; i < scalars_.size(); ++i) {
            result[py::str(scalarNames_[i])] = scalars_[i]->getValue();
        }
        return result;
    }

    py::array_t<float> vector(const std::string& name) const {
        return toArray(vectors_[indexOf(vectorNames_, name, "vector")]->getValue());
    }

    float reactivity() { return engine_.getController().getUserInputs().reactivity; }
    void setReactivity(float value) { engine_.setReactivityUserInput(value); }
    float audioSpeed() { return engine_.getController().getUserInputs().audioSpeed; }
    void setAudioSpeed(float value) { engine_.setAudioSpeedUserInput(value); }

    void onTransition(py::object callback) {
        if (callback.is_none()) {
            engine_.setTransitionComponent(nullptr, nullptr);
            callback_ = py::none();
            return;
        }
        if (!PyCallable_Check(callback.ptr())) {
            throw py::type_error("on_transition: expected a callable or None");
        }
        callback_ = std::move(callback);
        engine_.setTransitionComponent(&PyEngine::fire, this);
    }

    const std::vector<std::string>& scalarNames() const { return scalarNames_; }
    const std::vector<std::string>& vectorNames() const { return vectorNames_; }

private:
    // Runs inside update(), which Python called holding the GIL. An exception
    // must not unwind through the engine: it is kept and raised after update.
    static void fire(void* context) {
        auto* self = static_cast<PyEngine*>(context);
        if (self->pending_) {
            return;
        }
        try {
            self->callback_();
        } catch (...) {
            self->pending_ = std::current_exception();
        }
    }

    Korvala::AudioEngine engine_;
    std::vector<std::string> scalarNames_;
    std::vector<std::string> vectorNames_;
    std::vector<Korvala::AudioComponent*> scalars_;
    std::vector<Korvala::AudioComponent2D*> vectors_;
    std::vector<float> block_;
    py::object callback_ = py::none();
    std::exception_ptr pending_;
};

template <std::size_t N>
std::size_t tableIndex(const std::array<const char*, N>& names, const std::string& name,
                       const char* kind) {
    for (std::size_t i = 0; i < N; ++i) {
        if (name == names[i]) {
            return i;
        }
    }
    throw py::key_error("no " + std::string(kind) + " component named '" + name + "'");
}

/// One snapshot of a LiveEngine, read by name.
class PySnapshot {
public:
    Korvala::LiveSnapshot values;

    float value(const std::string& name) const {
        // The felt layer's names, when it ran for this snapshot.
        for (std::size_t i = 0; values.feltEnabled != 0 && i < Korvala::kLiveFeltCount; ++i) {
            if (name == Korvala::LiveEngine::feltName(i)) {
                return values.felt[i];
            }
        }
        return values.scalars[tableIndex(Korvala::kScalarNames, name, "scalar")];
    }
    py::dict allValues() const {
        py::dict result;
        for (std::size_t i = 0; i < Korvala::kScalarCount; ++i) {
            result[py::str(Korvala::kScalarNames[i])] = values.scalars[i];
        }
        for (std::size_t i = 0; values.feltEnabled != 0 && i < Korvala::kLiveFeltCount; ++i) {
            result[py::str(Korvala::LiveEngine::feltName(i))] = values.felt[i];
        }
        return result;
    }
    py::array_t<float> vector(const std::string& name) const {
        const std::size_t i = tableIndex(Korvala::kVectorNames, name, "vector");
        return py::array_t<float>(static_cast<py::ssize_t>(Korvala::kVectorLengths[i]),
                                  values.vector(i));
    }
};

/// korvala.LiveEngine: push from any thread, frame on one, read anywhere.
class PyLiveEngine {
public:
    PyLiveEngine(double sampleRate, int channels, std::size_t ringFrames, double fps)
        : live_(makeLive(sampleRate, channels, ringFrames, fps)) {}
    PyLiveEngine(const PyLiveEngine&) = delete;
    PyLiveEngine& operator=(const PyLiveEngine&) = delete;
    ~PyLiveEngine() { live_->setTransitionCallback(nullptr, nullptr); }

    // Runs holding the GIL, so pushes from several Python threads reach the
    // single-producer ring one at a time.
    void push(const FloatArray& samples) {
        const auto channels = static_cast<py::ssize_t>(live_->channels());
        if (samples.ndim() == 2 ? samples.shape(1) != channels
                                : samples.ndim() != 1 || samples.shape(0) % channels != 0) {
            throw py::value_error("push: expected (frames, " + std::to_string(channels) +
                                  ") samples, or interleaved ones in one dimension");
        }
        live_->pushInterleaved(samples.data(), static_cast<std::size_t>(samples.size() / channels));
    }

    void frame(float dt) {
        {
            // The analysis runs without the GIL, so other threads keep pushing;
            // the transition handler takes it back to call Python.
            py::gil_scoped_release release;
            std::lock_guard<std::mutex> lock(frameMutex_);
            live_->frame(dt);
        }
        if (pending_) {
            std::exception_ptr error = pending_;
            pending_ = nullptr;
            std::rethrow_exception(error);
        }
    }

    py::object latest() const {
        auto snapshot = std::make_unique<PySnapshot>();
        if (!live_->latest(snapshot->values)) {
            return py::none();
        }
        return py::cast(std::move(snapshot));
    }

    float reactivity() const { return reactivity_; }
    void setReactivity(float value) {
        reactivity_ = value;
        live_->setReactivity(value);
    }
    float audioSpeed() const { return audioSpeed_; }
    void setAudioSpeed(float value) {
        audioSpeed_ = value;
        live_->setAudioSpeed(value);
    }

    void onTransition(py::object callback) {
        if (!callback.is_none() && !PyCallable_Check(callback.ptr())) {
            throw py::type_error("on_transition: expected a callable or None");
        }
        // The frame thread holds the mutex while it may wait for the GIL: take
        // the mutex without the GIL, then the GIL again to swap the callable.
        py::gil_scoped_release release;
        std::lock_guard<std::mutex> lock(frameMutex_);
        py::gil_scoped_acquire acquire;
        callback_ = std::move(callback);
        live_->setTransitionCallback(callback_.is_none() ? nullptr : &PyLiveEngine::fire, this);
    }

    void enableFelt(std::pair<float, float> tempoRange, bool gate, float latencyMs) {
        Korvala::FeltTempo::Options options;
        std::tie(options.tempo.minBPM, options.tempo.maxBPM) = tempoRange;
        options.tempo.latencyMs = latencyMs;
        options.gate = gate;
        if (!options.tempo.valid()) {
            throw py::value_error("enable_felt: tempo_range must be (low, high) with 40 <= low < "
                                  "high <= 250 BPM, latency_ms 0 to 1000");
        }
        py::gil_scoped_release release;
        std::lock_guard<std::mutex> lock(frameMutex_);
        live_->enableFelt(options);
    }

    double sampleRate() const { return live_->sampleRate(); }
    int channels() const { return live_->channels(); }

private:
    static std::unique_ptr<Korvala::LiveEngine> makeLive(double sampleRate, int channels,
                                                         std::size_t ringFrames, double fps) {
        try {
            return std::make_unique<Korvala::LiveEngine>(sampleRate, channels, ringFrames, fps);
        } catch (const std::invalid_argument& e) {
            throw py::value_error(e.what());
        }
    }

    // Runs inside frame() on the frame thread, without the GIL.
    static void fire(void* context) {
        auto* self = static_cast<PyLiveEngine*>(context);
        py::gil_scoped_acquire acquire;
        if (self->pending_) {
            return;
        }
        try {
            self->callback_();
        } catch (...) {
            self->pending_ = std::current_exception();
        }
    }

    std::unique_ptr<Korvala::LiveEngine> live_;
    std::mutex frameMutex_;
    py::object callback_ = py::none();
    std::exception_ptr pending_;
    float reactivity_ = 0.5f;
    float audioSpeed_ = 0.5f;
};

/// Collects a run's frames column by column.
class ColumnSink : public FrameSink {
public:
    explicit ColumnSink(std::size_t expectedFrames) : expected_(expectedFrames) {}

    void begin(const std::vector<std::string>& scalarNames,
               const std::vector<std::string>& vectorNames) override {
        frames_.reserve(expected_);
        times_.reserve(expected_);
        transitions_.reserve(expected_);
        scalars_.assign(scalarNames.size(), {});
        for (auto& column : scalars_) {
            column.reserve(expected_);
        }
        vectors_.assign(vectorNames.size(), {});
        lengths_.assign(vectorNames.size(), 0);
        vectorNames_ = vectorNames;
    }

    void frame(const FrameValues& values) override {
        frames_.push_back(values.index);
        times_.push_back(values.time);
        transitions_.push_back(values.transition);
        for (std::size_t i = 0; i < scalars_.size(); ++i) {
            scalars_[i].push_back((*values.scalars)[i]);
        }
        for (std::size_t i = 0; i < vectors_.size(); ++i) {
            const std::vector<float>& v = (*values.vectors)[i];
            if (frames_.size() == 1) {
                lengths_[i] = v.size();
                vectors_[i].reserve(expected_ * v.size());
            } else if (v.size() != lengths_[i]) {
                throw std::runtime_error(vectorNames_[i] + " changed its length during the run");
            }
            vectors_[i].insert(vectors_[i].end(), v.begin(), v.end());
        }
    }

    py::dict columns(const AnalysisOptions& options) const {
        py::dict result;
        const auto n = static_cast<py::ssize_t>(frames_.size());
        result["frame"] = py::array_t<std::uint64_t>(n, frames_.data());
        result["time"] = py::array_t<double>(n, times_.data());
        for (std::size_t i = 0; i < scalars_.size(); ++i) {
            result[py::str(options.scalars[i])] = toArray(scalars_[i]);
        }
        result["transition"] =
            py::array_t<bool>(n, reinterpret_cast<const bool*>(transitions_.data()));
        for (std::size_t i = 0; i < vectors_.size(); ++i) {
            result[py::str(options.vectors[i])] =
                py::array_t<float>({n, static_cast<py::ssize_t>(lengths_[i])}, vectors_[i].data());
        }
        return result;
    }

private:
    std::size_t expected_;
    std::vector<std::uint64_t> frames_;
    std::vector<double> times_;
    std::vector<std::uint8_t> transitions_;
    std::vector<std::vector<float>> scalars_;
    std::vector<std::vector<float>> vectors_;
    std::vector<std::size_t> lengths_;
    std::vector<std::string> vectorNames_;
};

std::string frameRateText(const py::object& fps) {
    if (py::isinstance<py::str>(fps)) {
        return fps.cast<std::string>();
    }
    if (py::isinstance<py::bool_>(fps) ||
        !(py::isinstance<py::int_>(fps) || py::isinstance<py::float_>(fps))) {
        throw py::type_error("analyze: fps must be a number or a string such as '30000/1001'");
    }
    // repr gives the shortest decimal that reads back as the same double: 29.97 → "29.97".
    return py::repr(py::float_(fps)).cast<std::string>();
}

// The selected columns, in the engine's byte-wise name order whatever order `only` lists.
void selectColumns(Korvala::AudioEngine& engine, const py::object& only, bool withVectors,
                   AnalysisOptions& options) {
    const std::vector<std::string> scalars = engineScalarNames(engine);
    const std::vector<std::string> vectors = engineVectorNames(engine);
    std::vector<std::string> wanted;
    if (py::isinstance<py::str>(only)) {
        wanted.push_back(only.cast<std::string>());
    } else if (!only.is_none()) {
        wanted = only.cast<std::vector<std::string>>();
    }
    for (const std::string& name : wanted) {
        if (std::binary_search(vectors.begin(), vectors.end(), name) && !withVectors) {
            throw py::value_error("analyze: " + name +
                                  " is a vector component; it needs vectors=True");
        }
        if (!std::binary_search(scalars.begin(), scalars.end(), name) &&
            !std::binary_search(vectors.begin(), vectors.end(), name)) {
            throw py::value_error("analyze: unknown component '" + name + "'");
        }
    }
    const bool onlyVectorsListed =
        std::any_of(wanted.begin(), wanted.end(), [&](const std::string& name) {
            return std::binary_search(vectors.begin(), vectors.end(), name);
        });
    for (const std::string& name : scalars) {
        if (wanted.empty() || std::count(wanted.begin(), wanted.end(), name)) {
            options.scalars.push_back(name);
        }
    }
    if (withVectors) {
        for (const std::string& name : vectors) {
            if (!onlyVectorsListed || std::count(wanted.begin(), wanted.end(), name)) {
                options.vectors.push_back(name);
            }
        }
    }
}

void checkUnit(const char* name, float value) {
    if (!(value >= 0.0f && value <= 1.0f)) {
        throw py::value_error(std::string("analyze: ") + name + " must be within 0 to 1");
    }
}

py::dict analyze(const py::object& input, const py::object& sampleRate, const py::object& fps,
                 const py::object& only, bool withVectors, float reactivity, float audioSpeed) {
    AnalysisOptions options;
    try {
        options.fps = parseFrameRate(frameRateText(fps));
    } catch (const std::invalid_argument& e) {
        throw py::value_error(std::string("analyze: fps: ") + e.what());
    }
    checkUnit("reactivity", reactivity);
    checkUnit("audio_speed", audioSpeed);
    options.reactivity = reactivity;
    options.audioSpeed = audioSpeed;

    Korvala::AudioEngine engine;
    selectColumns(engine, only, withVectors, options);

    std::unique_ptr<AudioSource> source;
    FloatArray samples;
    if (py::isinstance<py::str>(input) || py::isinstance<py::bytes>(input) ||
        py::hasattr(input, "__fspath__")) {
        if (!sampleRate.is_none()) {
            throw py::value_error("analyze: sample_rate is for arrays; a file gives its own rate");
        }
        const auto path = py::module_::import("os").attr("fsdecode")(input).cast<std::string>();
        try {
            source = std::make_unique<SndfileSource>(path);
        } catch (const InputError& e) {
            raiseOSError(std::string("analyze: ") + e.what());
        }
    } else {
        samples = FloatArray::ensure(input);
        if (!samples) {
            throw py::type_error("analyze: expected a file path or an array of samples");
        }
        if (samples.ndim() != 1 && samples.ndim() != 2) {
            throw py::value_error("analyze: expected samples as (frames,) or (frames, channels), "
                                  "got " +
                                  std::to_string(samples.ndim()) + " dimensions");
        }
        const long long rate =
            sampleRate.is_none()
                ? 44100
                : py::module_::import("operator").attr("index")(sampleRate).cast<long long>();
        const auto frames = static_cast<std::size_t>(samples.shape(0));
        const long long channels = samples.ndim() == 2 ? samples.shape(1) : 1;
        try {
            source = std::make_unique<ArraySource>(
                samples.data(), frames, static_cast<int>(std::min(channels, 1LL << 20)),
                static_cast<int>(std::clamp(rate, 0LL, 1000000LL)), "array");
        } catch (const InputError& e) {
            throw py::value_error(std::string("analyze: ") + e.what());
        }
    }

    const std::int64_t expected = source->info().expectedSamples;
    const HostSchedule schedule(options.fps, options.blockSize);
    ColumnSink sink(expected > 0 ? schedule.frameCount(static_cast<std::uint64_t>(expected)) : 0);
    try {
        // Decoding, resampling and analysis touch no Python object.
        py::gil_scoped_release release;
        runAnalysis(engine, *source, options, sink);
    } catch (const InputError& e) {
        raiseOSError(std::string("analyze: ") + e.what());
    }
    return sink.columns(options);
}

} // namespace

PYBIND11_MODULE(_korvala, m) {
    m.doc() = "Korvala Engine: real-time audio analysis for music visuals.";

    py::class_<PyEngine>(m, "Engine", R"(The analysis engine, driven block by block.

Push mono 44100 Hz blocks with process(), call update(dt) once per rendered
frame, then read values by name. Not thread-safe: use one engine from one
thread at a time. Its random sequence ("kor_RandomOnBeat") starts from seed 1,
as the korvala command's does.)")
        .def(py::init<>(), "Builds the whole pipeline (44 scalar and 8 vector components).")
        .def("process", &PyEngine::process, py::arg("samples"),
             "Analyses one block of at most 2048 mono 44100 Hz samples (any numeric array, "
             "converted to float32). 512-sample blocks give correct tempo values. ValueError "
             "for another shape or a longer block.")
        .def("update", &PyEngine::update, py::arg("dt"),
             "Advances every component by one frame of dt seconds; the transition callback "
             "runs in here.")
        .def("reset", &PyEngine::reset, "Restarts the clocks and resettable state.")
        .def("value", &PyEngine::value, py::arg("name"),
             "The value of a scalar component (float); KeyError for an unknown name.")
        .def("values", &PyEngine::values, "Every scalar component's value, by name.")
        .def("vector", &PyEngine::vector, py::arg("name"),
             "A copy of a vector component as a float32 array; KeyError for an unknown name.")
        .def_property("reactivity", &PyEngine::reactivity, &PyEngine::setReactivity,
                      "Reactivity control in [0, 1] (clamped; NaN ignored). Starts at 0.5.")
        .def_property("audio_speed", &PyEngine::audioSpeed, &PyEngine::setAudioSpeed,
                      "Audio-speed control in [0, 1] (clamped; NaN ignored). Starts at 0.5.")
        .def("on_transition", &PyEngine::onTransition, py::arg("callback"),
             "Calls callback() inside update() when the music changes sharply; None removes "
             "it. An exception it raises is raised from that update().")
        .def_property_readonly("scalar_names", &PyEngine::scalarNames,
                               "Scalar component names, byte-wise ascending.")
        .def_property_readonly("vector_names", &PyEngine::vectorNames,
                               "Vector component names, byte-wise ascending.");

    py::class_<PySnapshot>(m, "Snapshot", "Every value of a LiveEngine after one frame (a copy).")
        .def("value", &PySnapshot::value, py::arg("name"),
             "The value of a scalar component (or a felt name, with enable_felt); KeyError for "
             "an unknown name.")
        .def("values", &PySnapshot::allValues,
             "Every scalar component's value, by name (and the felt values, with enable_felt).")
        .def("vector", &PySnapshot::vector, py::arg("name"),
             "A copy of a vector component; KeyError for an unknown name.")
        .def_property_readonly(
            "frames", [](const PySnapshot& s) { return s.values.frames; },
            "Frames published so far (1 for the first snapshot).")
        .def_property_readonly(
            "blocks", [](const PySnapshot& s) { return s.values.blocks; },
            "512-sample blocks at 44100 Hz analysed so far.")
        .def_property_readonly(
            "transitions", [](const PySnapshot& s) { return s.values.transitions; },
            "Transitions fired so far.")
        .def_property_readonly(
            "input_frames", [](const PySnapshot& s) { return s.values.inputFrames; },
            "Frames taken from the ring, at the input rate.")
        .def_property_readonly(
            "dropped_frames", [](const PySnapshot& s) { return s.values.droppedFrames; },
            "Frames dropped because the ring was full.")
        .def_property_readonly(
            "seconds_analysed", [](const PySnapshot& s) { return s.values.secondsAnalysed; },
            "blocks × 512 / 44100.")
        .def_property_readonly(
            "latency_seconds", [](const PySnapshot& s) { return s.values.latencySeconds; },
            "Audio pushed but not yet reflected when the snapshot was published.");

    py::class_<PyLiveEngine>(m, "LiveEngine", R"(The engine for live audio.

Any thread pushes audio at its own rate, channel count and block size with
push() (pushes from several threads are taken one at a time); one thread at a
time calls frame(dt) once per rendered frame, which mixes to mono, resamples to
44100 Hz, analyses whole 512-sample blocks, updates and publishes a Snapshot;
any thread reads the latest with latest().)")
        .def(py::init<double, int, std::size_t, double>(), py::arg("sample_rate"),
             py::arg("channels") = 1, py::arg("ring_frames") = 0, py::arg("fps") = 60.0,
             "sample_rate 8000 to 384000 Hz, channels 1 to 32, ring_frames buffered before the "
             "oldest are dropped (0: one second), fps the frame rate aimed at. ValueError "
             "otherwise.")
        .def("push", &PyLiveEngine::push, py::arg("samples"),
             "Pushes (frames, channels) samples, or interleaved ones in one dimension (any "
             "numeric array, converted to float32). ValueError for another shape.")
        .def("frame", &PyLiveEngine::frame, py::arg("dt"),
             "Analyses everything pushed so far, advances by dt seconds and publishes a "
             "snapshot; releases the GIL while it works.")
        .def("latest", &PyLiveEngine::latest,
             "The latest Snapshot (a copy, never torn), or None before the first frame.")
        .def_property("reactivity", &PyLiveEngine::reactivity, &PyLiveEngine::setReactivity,
                      "Reactivity control in [0, 1], applied at the next frame.")
        .def_property("audio_speed", &PyLiveEngine::audioSpeed, &PyLiveEngine::setAudioSpeed,
                      "Audio-speed control in [0, 1], applied at the next frame.")
        .def("on_transition", &PyLiveEngine::onTransition, py::arg("callback"),
             "Calls callback() inside frame() when the music changes sharply; None removes it. "
             "An exception it raises is raised from that frame().")
        .def("enable_felt", &PyLiveEngine::enableFelt, py::kw_only(),
             py::arg("tempo_range") = std::pair<float, float>(80.0f, 160.0f),
             py::arg("gate") = false, py::arg("latency_ms") = 0.0f,
             "Adds the opt-in felt layer: every later snapshot also has felt_BPM (inside "
             "tempo_range), felt_Confidence, felt_Pulse, music_Playing/Starts/Stops (gate) and "
             "beat_Phase/beat_Predicted (latency_ms ahead). Call it before the frames start. "
             "ValueError for values out of range.")
        .def_property_readonly("sample_rate", &PyLiveEngine::sampleRate)
        .def_property_readonly("channels", &PyLiveEngine::channels);

    m.def("analyze", &analyze, py::arg("path_or_array"), py::arg("sample_rate") = py::none(),
          py::arg("fps") = 60, py::arg("only") = py::none(), py::arg("vectors") = false,
          py::kw_only(), py::arg("reactivity") = 0.5f, py::arg("audio_speed") = 0.5f,
          R"(Analyses a whole file or array as `korvala analyze` does, bit for bit.

path_or_array: a path (str, bytes or os.PathLike) to any file the command
    reads, or samples as a (frames,) or (frames, channels) array of numbers
    (converted to float32). Channels are averaged; other rates are resampled
    to 44100 Hz, as the command does with a file.
sample_rate: the array's rate in Hz (default 44100); not for paths.
fps: frames per second, e.g. 60, 29.97 or "30000/1001".
only: component names to return (a name or a list); the default is every scalar.
vectors: add the vector components, one (frames, length) array each
    (about 23 kB per frame for all eight).

Returns a dict of one array per column, in the command's CSV order: "frame"
(uint64), "time" (float64 seconds), each scalar (float32), "transition"
(bool), then the vectors. The GIL is released while the audio is analysed.
Raises ValueError or TypeError for bad arguments, OSError for a file that
cannot be read or decoded.)");
}
