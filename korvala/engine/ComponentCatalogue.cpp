// The fixed catalogue of named components every controller registers. The
// names are the host's vocabulary; each entry is its own object.
#include "korvala/engine/AudioComponentController.h"

#include "korvala/components/scalar/AccumulatorComponent.h"
#include "korvala/components/scalar/BPMComponent.h"
#include "korvala/components/scalar/BPMComponentSin.h"
#include "korvala/components/scalar/BPMComponentTri.h"
#include "korvala/components/scalar/BPMComponentTwitcher.h"
#include "korvala/components/scalar/BPMConfidenceComponent.h"
#include "korvala/components/scalar/BassExpocurveAccum.h"
#include "korvala/components/scalar/BeatComponentRMS.h"
#include "korvala/components/scalar/BeatToFlipSwitch.h"
#include "korvala/components/scalar/BeatToIncrement.h"
#include "korvala/components/scalar/BeatToRandomLocation.h"
#include "korvala/components/scalar/DevianceComponent.h"
#include "korvala/components/scalar/ElapsedTimeComponent.h"
#include "korvala/components/scalar/InputTrackingComponent.h"
#include "korvala/components/scalar/PresenceComponent.h"
#include "korvala/components/scalar/PrimeAndBangStructureDetectorComponent.h"
#include "korvala/components/scalar/RawComponent.h"
#include "korvala/components/scalar/TimeComponent.h"
#include "korvala/components/scalar/VUAdditiveTimeFast.h"
#include "korvala/components/scalar/VUFadeToBlack.h"
#include "korvala/components/scalar/VUIntensityAccum.h"
#include "korvala/components/spectral/SmootherSpectrum2DComponent.h"
#include "korvala/components/spectral/Spectrum2DComponent.h"
#include "korvala/components/spectral/SpectrumJuiced2DComponent.h"
#include "korvala/components/spectral/TimeSeries2DComponent.h"
#include "korvala/components/spectral/Waveform2DComponent.h"

namespace Korvala {

template <typename T, typename... Args> T* AudioComponentController::makeScalar(Args&&... args) {
    ownedScalars_.push_back(std::make_unique<T>(std::forward<Args>(args)...));
    return static_cast<T*>(ownedScalars_.back().get());
}

template <typename T, typename... Args> T* AudioComponentController::makeVector(Args&&... args) {
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
    scalar("TIME", makeScalar<ElapsedTimeComponent>());
    scalar("kor_FadeInOut", makeScalar<VUFadeToBlack>());
    scalar("kor_Intensity", makeScalar<VUIntensityAccum>());
    scalar("kor_PrimeBang", makeScalar<PrimeAndBangStructureDetectorComponent>());
    scalar("kor_RawLevel", makeScalar<InputTrackingComponent>());
    scalar("kor_InputLevel", makeScalar<RawComponent>(AudioFeature::VU));
    scalar("kor_Level", makeScalar<AccumulatorComponent>(AudioFeature::VU));
    scalar("kor_HighLevel", makeScalar<AccumulatorComponent>(AudioFeature::HighVU));
    scalar("kor_MidHighLevel", makeScalar<AccumulatorComponent>(AudioFeature::MidHighVU));
    scalar("kor_MidLevel", makeScalar<AccumulatorComponent>(AudioFeature::MidVU));
    scalar("kor_BassLevel", makeScalar<AccumulatorComponent>(AudioFeature::BassVU));
    scalar("kor_Hits", makeScalar<DevianceComponent>(AudioFeature::VU));
    scalar("kor_HighHits", makeScalar<DevianceComponent>(AudioFeature::HighVU));
    scalar("kor_MidHighHits", makeScalar<DevianceComponent>(AudioFeature::MidHighVU));
    scalar("kor_MidHits", makeScalar<DevianceComponent>(AudioFeature::MidVU));
    scalar("kor_BassHits", makeScalar<DevianceComponent>(AudioFeature::BassVU));
    scalar("kor_Time", makeScalar<TimeComponent>(AudioFeature::VU));
    scalar("kor_HighTime", makeScalar<TimeComponent>(AudioFeature::HighVU));
    scalar("kor_MidHighTime", makeScalar<TimeComponent>(AudioFeature::MidHighVU));
    scalar("kor_MidTime", makeScalar<TimeComponent>(AudioFeature::MidVU));
    scalar("kor_BassTime", makeScalar<TimeComponent>(AudioFeature::BassVU));
    scalar("kor_BeatTime", makeScalar<BeatToIncrement>());
    scalar("kor_CurvedTime", makeScalar<VUAdditiveTimeFast>());
    scalar("kor_OnBeat", makeScalar<BeatComponentRMS>());
    scalar("kor_ToggleOnBeat", makeScalar<BeatToFlipSwitch>());
    scalar("kor_RandomOnBeat", makeScalar<BeatToRandomLocation>(&random_));
    scalar("kor_BassExpoCurve", makeScalar<BassExpocurveAccum>());
    scalar("kor_Presence", makeScalar<PresenceComponent>(AudioFeature::VU));
    scalar("kor_HighPresence", makeScalar<PresenceComponent>(AudioFeature::HighVU));
    scalar("kor_BassPresence", makeScalar<PresenceComponent>(AudioFeature::BassVU));
    scalar("kor_MidPresence", makeScalar<PresenceComponent>(AudioFeature::MidVU));
    scalar("kor_MidHighPresence", makeScalar<PresenceComponent>(AudioFeature::MidHighVU));
    scalar("kor_BPM", makeScalar<BPMComponent>());
    scalar("kor_BPMSin", makeScalar<BPMComponentSin>(1.0f));
    scalar("kor_BPMTri", makeScalar<BPMComponentTri>(1.0f));
    scalar("kor_BPMSin2", makeScalar<BPMComponentSin>(2.0f));
    scalar("kor_BPMTri2", makeScalar<BPMComponentTri>(2.0f));
    scalar("kor_BPMSin4", makeScalar<BPMComponentSin>(4.0f));
    scalar("kor_BPMTri4", makeScalar<BPMComponentTri>(4.0f));
    scalar("kor_BPMSin8", makeScalar<BPMComponentSin>(8.0f));
    scalar("kor_BPMTri8", makeScalar<BPMComponentTri>(8.0f));
    scalar("kor_BPMTwitcher", makeScalar<BPMComponentTwitcher>());
    scalar("kor_BPMConfidence", makeScalar<BPMConfidenceComponent>());
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
