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
#include "korvala/engine/AudioComponentController.h"
#include "korvala/store/DSPStore.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

namespace {

const std::vector<std::string> kScalarNames = {
    "TIME",
    "kor_BPM",
    "kor_BPMConfidence",
    "kor_BPMSin",
    "kor_BPMSin2",
    "kor_BPMSin4",
    "kor_BPMSin8",
    "kor_BPMTri",
    "kor_BPMTri2",
    "kor_BPMTri4",
    "kor_BPMTri8",
    "kor_BPMTwitcher",
    "kor_BassExpoCurve",
    "kor_BassHits",
    "kor_BassLevel",
    "kor_BassPresence",
    "kor_BassTime",
    "kor_BeatTime",
    "kor_CurvedTime",
    "kor_FadeInOut",
    "kor_HighHits",
    "kor_HighLevel",
    "kor_HighPresence",
    "kor_HighTime",
    "kor_Hits",
    "kor_InputLevel",
    "kor_Intensity",
    "kor_Level",
    "kor_MidHighHits",
    "kor_MidHighLevel",
    "kor_MidHighPresence",
    "kor_MidHighTime",
    "kor_MidHits",
    "kor_MidLevel",
    "kor_MidPresence",
    "kor_MidTime",
    "kor_OnBeat",
    "kor_Presence",
    "kor_PrimeBang",
    "kor_RandomOnBeat",
    "kor_RawLevel",
    "kor_Time",
    "kor_ToggleOnBeat",
};

// The exact class registered under each name (a subclass would not do).
const std::type_info& classOf(const std::string& name) {
    static const std::vector<std::pair<std::string, const std::type_info*>> table = {
        {"TIME", &typeid(Korvala::ElapsedTimeComponent)},
        {"kor_FadeInOut", &typeid(VUFadeToBlack)},
        {"kor_Intensity", &typeid(VUIntensityAccum)},
        {"kor_PrimeBang", &typeid(PrimeAndBangStructureDetectorComponent)},
        {"kor_RawLevel", &typeid(InputTrackingComponent)},
        {"kor_InputLevel", &typeid(RawComponent)},
        {"kor_BeatTime", &typeid(BeatToIncrement)},
        {"kor_CurvedTime", &typeid(VUAdditiveTimeFast)},
        {"kor_OnBeat", &typeid(BeatComponentRMS)},
        {"kor_ToggleOnBeat", &typeid(BeatToFlipSwitch)},
        {"kor_RandomOnBeat", &typeid(BeatToRandomLocation)},
        {"kor_BassExpoCurve", &typeid(BassExpocurveAccum)},
        {"kor_BPM", &typeid(BPMComponent)},
        {"kor_BPMTwitcher", &typeid(BPMComponentTwitcher)},
        {"kor_BPMConfidence", &typeid(BPMConfidenceComponent)},
    };
    for (const auto& [n, type] : table) {
        if (n == name) {
            return *type;
        }
    }
    const auto has = [&name](const char* part) { return name.find(part) != std::string::npos; };
    if (has("BPMSin")) {
        return typeid(BPMComponentSin);
    }
    if (has("BPMTri")) {
        return typeid(BPMComponentTri);
    }
    if (has("Level")) {
        return typeid(AccumulatorComponent);
    }
    if (has("Hits")) {
        return typeid(DevianceComponent);
    }
    if (has("Presence")) {
        return typeid(PresenceComponent);
    }
    if (has("Time")) {
        return typeid(TimeComponent);
    }
    throw std::logic_error("no class for " + name);
}

} // namespace

TEST(ScalarCatalogue, RegistersTheFortyThreeNamesInByteWiseOrderTimeFirst) {
    Korvala::AudioComponentController controller;
    EXPECT_EQ(controller.getComponentNames(), kScalarNames);
}

TEST(ScalarCatalogue, EachNameHoldsItsOwnObjectOfTheListedClass) {
    Korvala::AudioComponentController controller;
    std::set<Korvala::AudioComponent*> objects;
    for (const auto& name : kScalarNames) {
        Korvala::AudioComponent* component = controller.getComponent(name);
        ASSERT_NE(component, nullptr) << name;
        EXPECT_EQ(typeid(*component), classOf(name)) << name;
        objects.insert(component);
    }
    EXPECT_EQ(objects.size(), kScalarNames.size());
    EXPECT_NE(dynamic_cast<InputTrackingComponent*>(controller.getComponent("kor_RawLevel")),
              nullptr);
    EXPECT_NE(dynamic_cast<RawComponent*>(controller.getComponent("kor_InputLevel")), nullptr);
}

TEST(ScalarCatalogue, NamesAreCaseSensitive) {
    Korvala::AudioComponentController controller;
    for (const char* wrong : {"time", "kor_bpm", "KOR_BPM", "kor_level", "Kor_Level"}) {
        EXPECT_THROW(controller.getComponent(wrong), std::runtime_error) << wrong;
    }
    EXPECT_EQ(controller.getComponentNames().size(), kScalarNames.size());
}

TEST(ScalarCatalogue, FeatureArgumentsReachTheRightHistories) {
    // A loud bass block and nothing else: only the bass level follows it.
    Korvala::AudioComponentController controller;
    DSPStore store;
    KorDSPData record;
    record.getAlgosOut().bassVU = 1.0f;
    store.add(record);
    controller.setStore(&store);
    controller.updateComponents(1.0f / 60.0f);
    const auto values = controller.getComponentValues();
    EXPECT_EQ(values.at("kor_BassLevel"), 1.0f);
    for (const char* quiet : {"kor_Level", "kor_HighLevel", "kor_MidLevel", "kor_MidHighLevel"}) {
        EXPECT_EQ(values.at(quiet), 0.0f) << quiet;
    }
    EXPECT_GT(values.at("kor_BassTime"), values.at("kor_Time"));
    EXPECT_EQ(values.at("TIME"), 1.0f / 60.0f);
}
