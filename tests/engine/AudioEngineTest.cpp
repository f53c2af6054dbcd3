#include "korvala/engine/AudioEngine.h"
#include "korvala/dsp/fft/FFTManager.h"
#include "tests/support/Signals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {
void countCalls(void* context) {
    ++*static_cast<int*>(context);
}

std::string messageOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "<no exception>";
}
} // namespace

TEST(AudioEngine, FixedStreamParametersAndTheThresholdRegisteredAtOne) {
    Korvala::AudioEngine engine;
    EXPECT_EQ(engine.getBufferSize(), 2048);
    EXPECT_EQ(engine.getSampleRate(), 44100);
    EXPECT_EQ(engine.getComponent("kor_Threshold"), 1.0f);
    EXPECT_EQ(engine.getAllComponents().count("kor_Threshold"), 1u);
}

TEST(AudioEngine, UnknownNamesRaiseTheirOwnMessagesAndRegisterNothing) {
    Korvala::AudioEngine engine;
    const std::size_t before = engine.getAllComponents().size();
    EXPECT_EQ(messageOf([&] { engine.getComponent("kor_Nope"); }),
              "Korvala Audio Engine ErrorL could not find component: kor_Nope");
    EXPECT_EQ(messageOf([&] { engine.getComponent2D("kor_Threshold"); }),
              "Korvala Audio Engine Error could not find 2D component: kor_Threshold");
    EXPECT_EQ(messageOf([&] { engine.getComponent("kor_threshold"); }),
              "Korvala Audio Engine ErrorL could not find component: kor_threshold");
    EXPECT_EQ(engine.getAllComponents().size(), before);
}

TEST(AudioEngine, TriggerTransitionCallsTheHandlerOncePerCall) {
    Korvala::AudioEngine engine;
    engine.triggerTransition(); // no handler: nothing happens
    int calls = 0;
    engine.setTransitionComponent(countCalls, &calls);
    engine.triggerTransition();
    EXPECT_EQ(calls, 1);
    engine.triggerTransition();
    EXPECT_EQ(calls, 2);
    engine.setTransitionComponent(nullptr, &calls);
    engine.triggerTransition();
    EXPECT_EQ(calls, 2);
}

void throwOnTransition(void* context) {
    ++*static_cast<int*>(context);
    throw std::runtime_error("host handler failed");
}

// Two engines fed the same audio are two identical machines: every value of
// every frame agrees bit for bit ("kor_RandomOnBeat" included), even when one
// engine's transition handler throws on each transition, and the host's own
// rand() sequence is left as it was.
TEST(AudioEngine, EnginesFedAlikeAgreeEvenWhenOneTransitionHandlerThrows) {
    // Quiet hiss broken by loud bars: a transition at each change.
    std::vector<float> music;
    for (unsigned bar = 0; bar < 4; ++bar) {
        const std::vector<float> hiss = korvala::test::noise(2.5, 0.01f, bar + 1);
        music.insert(music.end(), hiss.begin(), hiss.end());
        for (float v : korvala::test::kickHatPattern(128.0, 1.5)) {
            music.push_back(std::clamp(4.0f * v, -1.0f, 1.0f));
        }
    }
    std::srand(5);
    const int hostDraw = std::rand();
    std::srand(5);

    Korvala::AudioEngine calm;
    Korvala::AudioEngine throwing;
    int calls = 0;
    int throws = 0;
    int caught = 0;
    calm.setTransitionComponent(countCalls, &calls);
    throwing.setTransitionComponent(throwOnTransition, &throws);
    std::size_t frame = 0;
    for (const std::vector<float>& block : korvala::test::blocks(music, 735)) {
        std::vector<float> a = block;
        std::vector<float> b = block;
        calm.processAudio(a);
        throwing.processAudio(b);
        calm.update(1.0f / 60.0f);
        try {
            throwing.update(1.0f / 60.0f);
        } catch (const std::runtime_error&) {
            ++caught;
        }
        for (const auto& [name, value] : calm.getAllComponents()) {
            const float other = throwing.getComponent(name);
            ASSERT_EQ(std::memcmp(&value, &other, sizeof value), 0)
                << name << " in frame " << frame << ": " << value << " vs " << other;
        }
        ++frame;
    }
    EXPECT_GE(calls, 2);
    EXPECT_EQ(throws, calls);
    EXPECT_EQ(caught, calls);
    EXPECT_EQ(std::rand(), hostDraw);
}

TEST(Version, ExportedVersionDataHasItsExactBytes) {
    EXPECT_EQ(KorvalaEngineVersionNumber, 1.0);
    const char* expected = "@(#)PROGRAM:KorvalaEngine  PROJECT:KorvalaEngine-1\n";
    EXPECT_STREQ(reinterpret_cast<const char*>(KorvalaEngineVersionString), expected);
    EXPECT_EQ(std::memcmp(KorvalaEngineVersionString, expected, std::strlen(expected) + 1), 0);
}

TEST(AudioEngine, TheRecordHoldsTheFFTStagesSpectraWithPhasesComputedOnRead) {
    Korvala::AudioEngine engine;
    EXPECT_TRUE(engine.getAnalysisRecord().getFFTOut().phases.empty());
    FFTManager stage(2048);
    KorDSPData record;
    const KorFFTOut& want = record.getFFTOut();
    const std::vector<float> music = korvala::test::noise(1.0, 0.4f, 5);
    for (std::size_t at = 0; at + 512 <= music.size(); at += 512) {
        std::vector<float> block(music.begin() + static_cast<std::ptrdiff_t>(at),
                                 music.begin() + static_cast<std::ptrdiff_t>(at + 512));
        engine.processAudio(block);
        // Read after some blocks only: an unread block's phases are never needed.
        if (at % 1536 == 0) {
            stage.transform(engine.getAnalysisRecord().channelBuffer(), &record);
            const KorFFTOut& got = engine.getAnalysisRecord().getFFTOut();
            ASSERT_EQ(got.phases, want.phases) << at;
            ASSERT_EQ(got.real, want.real);
            ASSERT_EQ(got.imag, want.imag);
            ASSERT_EQ(got.magnitudes, want.magnitudes);
            ASSERT_EQ(got.squaredMagnitudes, want.squaredMagnitudes);
        }
    }
}

TEST(AudioEngine, IndexReadsFollowTheCatalogueTableAndEqualReadsByName) {
    Korvala::AudioEngine engine;
    for (auto& block : korvala::test::blocks(korvala::test::kickHatPattern(120.0, 2.0), 512)) {
        engine.processAudio(block);
        engine.update(1.0f / 60.0f);
    }
    // The table names every scalar and vector the engine has, each once.
    std::vector<std::string> table(Korvala::kScalarNames.begin(), Korvala::kScalarNames.end());
    std::sort(table.begin(), table.end());
    EXPECT_EQ(table, engine.getController().getComponentNames());
    std::vector<std::string> table2D(Korvala::kVectorNames.begin(), Korvala::kVectorNames.end());
    std::sort(table2D.begin(), table2D.end());
    EXPECT_EQ(table2D, engine.getController().getComponentNames2D());

    for (std::size_t i = 0; i < Korvala::kScalarCount; ++i) {
        const std::string name = Korvala::kScalarNames[i];
        EXPECT_EQ(engine.getComponentIndex(name), i) << name;
        const float byIndex = engine.getComponentAt(i);
        const float byName = engine.getComponent(name);
        EXPECT_EQ(std::memcmp(&byIndex, &byName, sizeof byIndex), 0) << name;
    }
    std::vector<float> out(1024);
    for (std::size_t i = 0; i < Korvala::kVectorCount; ++i) {
        const std::string name = Korvala::kVectorNames[i];
        EXPECT_EQ(engine.getComponentIndex2D(name), i) << name;
        const std::size_t length = engine.getComponent2DAt(i, out.data(), out.size());
        EXPECT_EQ(length, Korvala::kVectorLengths[i]) << name;
        out.resize(length);
        EXPECT_EQ(out, engine.getComponent2D(name)) << name;
        out.resize(1024);
    }
    EXPECT_EQ(messageOf([&] { engine.getComponentIndex("kor_Nope"); }),
              "Korvala Audio Engine ErrorL could not find component: kor_Nope");
    EXPECT_THROW(engine.getComponentAt(Korvala::kScalarCount), std::out_of_range);
    EXPECT_THROW(engine.getComponent2DAt(Korvala::kVectorCount, out.data(), 1), std::out_of_range);

    // A host's own component: a replacement keeps its name's index, a new name
    // comes after the table.
    Korvala::AudioComponent mine;
    mine.setValue(7.0f);
    engine.getController().addComponent("kor_BPM", &mine);
    engine.getController().addComponent("host_Extra", &mine);
    EXPECT_EQ(engine.getComponentAt(engine.getComponentIndex("kor_BPM")), 7.0f);
    EXPECT_EQ(engine.getComponentIndex("host_Extra"), Korvala::kScalarCount);
}
