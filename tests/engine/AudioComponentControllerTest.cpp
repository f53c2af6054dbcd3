#include "korvala/engine/AudioComponentController.h"
#include "korvala/components/_TestComponent.h"
#include "korvala/store/DSPStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

namespace {

// Records the order and frame times its updates see.
class Recorder : public Korvala::AudioComponent {
public:
    Recorder(std::string name, std::vector<std::string>* log) : name_(std::move(name)), log_(log) {}
    float update(AudioComponentDataLayer*, float dt, const UserInputs&) override {
        log_->push_back(name_);
        lastDt = dt;
        return dt;
    }
    void reset() override { ++resets; }
    float lastDt = -1.0f;
    int resets = 0;

private:
    std::string name_;
    std::vector<std::string>* log_;
};

class VectorRecorder : public Korvala::AudioComponent2D {
public:
    std::vector<float> update(AudioComponentDataLayer*, float dt, const UserInputs&) override {
        lastDt = dt;
        return {dt};
    }
    std::vector<float> getValue() override { return {lastDt}; }
    float lastDt = -1.0f;
};

// A controller over a fresh store with a scalar and a vector probe registered.
class ControllerTest : public ::testing::Test {
protected:
    ControllerTest() {
        controller.setStore(&store);
        controller.addComponent("kor_Probe", &scalar);
        controller.addComponent2D("kor_ProbeVec", &vec);
    }
    Korvala::AudioComponentController controller;
    DSPStore store;
    std::vector<std::string> log;
    Recorder scalar{"kor_Probe", &log};
    VectorRecorder vec;
};

} // namespace

TEST_F(ControllerTest, UpdatesScalarsInByteWiseNameOrderThenVectors) {
    Recorder lower("kor_a", &log), upper("TIME_X", &log), mid("kor_B", &log);
    controller.addComponent("kor_a", &lower);
    controller.addComponent("TIME_X", &upper);
    controller.addComponent("kor_B", &mid);
    controller.updateComponents(1.0f / 60.0f);
    std::vector<std::string> ours;
    std::copy_if(log.begin(), log.end(), std::back_inserter(ours), [](const std::string& n) {
        return n == "kor_a" || n == "TIME_X" || n == "kor_B";
    });
    EXPECT_EQ(ours, (std::vector<std::string>{"TIME_X", "kor_B", "kor_a"}));
    const auto names = controller.getComponentNames();
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
}

TEST_F(ControllerTest, ScalarFrameTimeIsLimitedVectorsSeeItWholeAndHostileTimesCountAsZero) {
    const float inf = std::numeric_limits<float>::infinity();
    // {dt given, dt a scalar sees, dt a vector sees}
    const float cases[][3] = {{2.0f, 0.5f, 2.0f},
                              {0.25f, 0.25f, 0.25f},
                              {0.5f, 0.5f, 0.5f},
                              {-0.1f, 0.0f, 0.0f},
                              {inf, 0.0f, 0.0f},
                              {-inf, 0.0f, 0.0f},
                              {std::numeric_limits<float>::quiet_NaN(), 0.0f, 0.0f}};
    for (const auto& [dt, scalarDt, vectorDt] : cases) {
        controller.updateComponents(dt);
        EXPECT_EQ(scalar.lastDt, scalarDt) << dt;
        EXPECT_EQ(scalar.getValue(), scalarDt) << dt;
        EXPECT_EQ(vec.lastDt, vectorDt) << dt;
    }
}

TEST(AudioComponentController, UserControlsAreClampedAndNonFiniteValuesIgnored) {
    Korvala::AudioComponentController controller;
    EXPECT_EQ(controller.getUserInputs().reactivity, 0.5f);
    EXPECT_EQ(controller.getUserInputs().audioSpeed, 0.5f);
    const std::pair<float, float> cases[] = {{-0.3f, 0.0f}, {7.0f, 1.0f}, {0.25f, 0.25f}};
    for (const auto& [in, out] : cases) {
        controller.setReactivityUI(in);
        controller.setAudioSpeedUI(in);
        EXPECT_EQ(controller.getUserInputs().reactivity, out);
        EXPECT_EQ(controller.getUserInputs().audioSpeed, out);
    }
    controller.setReactivityUI(std::numeric_limits<float>::quiet_NaN());
    controller.setAudioSpeedUI(std::numeric_limits<float>::infinity());
    EXPECT_EQ(controller.getUserInputs().reactivity, 0.25f);
    EXPECT_EQ(controller.getUserInputs().audioSpeed, 0.25f);
}

TEST_F(ControllerTest, ReplacingANameKeepsTheCountAndStopsTheOldComponent) {
    Recorder second("second", &log);
    const std::size_t count = controller.getComponentNames().size();
    controller.updateComponents(0.1f);
    controller.addComponent("kor_Probe", &second);
    EXPECT_EQ(controller.getComponentNames().size(), count);
    log.clear();
    controller.updateComponents(0.1f);
    EXPECT_EQ(std::count(log.begin(), log.end(), "kor_Probe"), 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "second"), 1);
    EXPECT_EQ(controller.getComponent("kor_Probe"), &second);
}

TEST(AudioComponentController, UnknownLookupsAndNullComponentsThrowAndRegisterNothing) {
    Korvala::AudioComponentController controller;
    const std::size_t scalars = controller.getComponentNames().size();
    const std::size_t vectors = controller.getComponentNames2D().size();
    EXPECT_THROW(controller.getComponent("kor_Nope"), std::runtime_error);
    EXPECT_THROW(controller.getComponent2D("kor_Nope"), std::runtime_error);
    EXPECT_THROW(controller.addComponent("kor_Nope", nullptr), std::invalid_argument);
    EXPECT_THROW(controller.addComponent2D("kor_Nope", nullptr), std::invalid_argument);
    EXPECT_THROW(controller.addComponent("kor_Level", nullptr), std::invalid_argument);
    EXPECT_NE(controller.getComponent("kor_Level"), nullptr);
    EXPECT_EQ(controller.getComponentNames().size(), scalars);
    EXPECT_EQ(controller.getComponentNames2D().size(), vectors);
    EXPECT_EQ(Korvala::AudioComponentController::getSingleton(),
              Korvala::AudioComponentController::getSingleton());
}

TEST_F(ControllerTest, ResetReachesEveryComponentAndKeepsTheControlsComponentsAreHanded) {
    controller.setReactivityUI(0.8f);
    controller.setAudioSpeedUI(0.3f);
    controller.resetComponents();
    EXPECT_EQ(scalar.resets, 1);
    _TestComponent probe; // yields the reactivity it is handed
    controller.addComponent("kor_Probe", &probe);
    controller.updateComponents(0.1f);
    EXPECT_EQ(probe.getValue(), 0.8f);
}
