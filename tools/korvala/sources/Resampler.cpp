#include "tools/korvala/sources/Resampler.h"

#include "tools/korvala/HostSchedule.h"
#include "tools/korvala/ToolError.h"

#include <soxr.h>

#include <cmath>
#include <string>

namespace korvala::cli {

Resampler::Resampler(double inputRate) : ratio_(kEngineRate / inputRate) {
    soxr_error_t error = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    handle_ = soxr_create(inputRate, static_cast<double>(kEngineRate), 1, &error, &io, &quality,
                          &runtime);
    if (error != nullptr) {
        throw InputError(std::string("cannot set up resampling: ") + error);
    }
}

Resampler::~Resampler() {
    soxr_delete(handle_);
}

void Resampler::push(const float* in, std::size_t count, std::vector<float>& out) {
    drain(in, count, out);
}

void Resampler::finish(std::vector<float>& out) {
    drain(nullptr, 0, out);
}

void Resampler::drain(const float* in, std::size_t count, std::vector<float>& out) {
    // A null input tells the converter the stream has ended; it then flushes its
    // tail over as many calls as it takes to return no more output.
    const std::size_t room = static_cast<std::size_t>(std::ceil(count * ratio_)) + 1024;
    if (scratch_.size() < room) {
        scratch_.resize(room);
    }
    std::size_t consumed = 0;
    for (;;) {
        std::size_t used = 0;
        std::size_t produced = 0;
        const soxr_error_t error =
            soxr_process(handle_, in == nullptr ? nullptr : in + consumed, count - consumed, &used,
                         scratch_.data(), scratch_.size(), &produced);
        if (error != nullptr) {
            throw InputError(std::string("resampling failed: ") + error);
        }
        consumed += used;
        out.insert(out.end(), scratch_.begin(), scratch_.begin() + produced);
        if (in != nullptr ? consumed >= count && produced < scratch_.size() : produced == 0) {
            return;
        }
    }
}

} // namespace korvala::cli
