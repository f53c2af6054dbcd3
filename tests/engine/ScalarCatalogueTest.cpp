#include "korvala/components/scalar/InputTrackingComponent.h"
#include "korvala/components/scalar/RawComponent.h"
#include "korvala/engine/AudioComponentController.h"

#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

TEST(ScalarCatalogue, RegistersFortyThreeDistinctObjectsInByteWiseNameOrder) {
    std::istringstream list(
        "TIME kor_BPM kor_BPMConfidence kor_BPMSin kor_BPMSin2 kor_BPMSin4 kor_BPMSin8 kor_BPMTri "
        "kor_BPMTri2 kor_BPMTri4 kor_BPMTri8 kor_BPMTwitcher kor_BassExpoCurve kor_BassHits "
        "kor_BassLevel kor_BassPresence kor_BassTime kor_BeatTime kor_CurvedTime kor_FadeInOut "
        "kor_HighHits kor_HighLevel kor_HighPresence kor_HighTime kor_Hits kor_InputLevel "
        "kor_Intensity kor_Level kor_MidHighHits kor_MidHighLevel kor_MidHighPresence "
        "kor_MidHighTime kor_MidHits kor_MidLevel kor_MidPresence kor_MidTime kor_OnBeat "
        "kor_Presence kor_PrimeBang kor_RandomOnBeat kor_RawLevel kor_Time kor_ToggleOnBeat");
    const std::vector<std::string> names{std::istream_iterator<std::string>(list), {}};
    Korvala::AudioComponentController controller;
    EXPECT_EQ(controller.getComponentNames(), names);
    std::set<Korvala::AudioComponent*> objects;
    for (const auto& name : names) {
        objects.insert(controller.getComponent(name));
    }
    EXPECT_EQ(objects.size(), 43u);
    EXPECT_NE(dynamic_cast<InputTrackingComponent*>(controller.getComponent("kor_RawLevel")),
              nullptr);
    EXPECT_NE(dynamic_cast<RawComponent*>(controller.getComponent("kor_InputLevel")), nullptr);
    for (const char* wrong : {"time", "kor_bpm", "KOR_BPM", "kor_level"}) {
        EXPECT_THROW(controller.getComponent(wrong), std::runtime_error) << wrong;
    }
}
