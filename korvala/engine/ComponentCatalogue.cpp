// The fixed catalogue of named components every controller registers. The
// names are the host's vocabulary; each entry is its own object.
#include "korvala/engine/AudioComponentController.h"

#include "korvala/components/spectral/SmootherSpectrum2DComponent.h"
#include "korvala/components/spectral/Spectrum2DComponent.h"
#include "korvala/components/spectral/SpectrumJuiced2DComponent.h"
#include "korvala/components/spectral/TimeSeries2DComponent.h"
#include "korvala/components/spectral/Waveform2DComponent.h"

namespace Korvala {

template <typename T, typename... Args>
T* AudioComponentController::makeScalar(Args&&... args) {
    ownedScalars_.push_back(std::make_unique<T>(std::forward<Args>(args)...));
    return static_cast<T*>(ownedScalars_.back().get());
}

template <typename T, typename... Args>
T* AudioComponentController::makeVector(Args&&... args) {
    ownedVectors_.push_back(std::make_unique<T>(std::forward<Args>(args)...));
    return static_cast<T*>(ownedVectors_.back().get());
}

void AudioComponentController::initializeAudioComponents(ScalarMap& scalars, VectorMap& vectors) {
    auto scalar = [&scalars, this](const char* name, AudioComponent* component) {
        scalars[name] = component;
        orderDirty_ = true;
    };
    auto vector = [&vectors, this](const char* name, AudioComponent2D* component) {
        vectors[name] = component;
        orderDirty_ = true;
    };

    // ---- scalar components -------------------------------------------------
    (void)scalar;
    // ---- end of scalar components -------------------------------------------

    // ---- vector components -------------------------------------------------
    vector("kor_Spectrum", makeVector<Spectrum2DComponent>());
    vector("kor_SpectrumJuiced", makeVector<SpectrumJuiced2DComponent>());
    vector("kor_SpectrumSmooth", makeVector<SmootherSpectrum2DComponent>());
    vector("kor_Waveform", makeVector<Waveform2DComponent>());
    vector("kor_TimeSeries", makeVector<TimeSeries2DComponent>(AudioFeature::VU));
    vector("kor_BassTimeSeries", makeVector<TimeSeries2DComponent>(AudioFeature::BassVU));
    vector("kor_MidTimeSeries", makeVector<TimeSeries2DComponent>(AudioFeature::MidVU));
    vector("kor_HighTimeSeries", makeVector<TimeSeries2DComponent>(AudioFeature::HighVU));
    // ---- end of vector components -------------------------------------------
}

} // namespace Korvala
