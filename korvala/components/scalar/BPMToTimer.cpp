#include "korvala/components/scalar/BPMToTimer.h"

#include <cmath>

float BPMToTimer::update(float bpm, float dt, float beatsPerCycle) {
    phase = phase + bpm * dt / 60.0f / beatsPerCycle;
    if (phase > 1.0f) {
        phase = phase - 1.0f;
        // A frame that spans more than one whole cycle (fast tempo, high speed
        // multiplier, low frame rate) would otherwise leave the phase above 1
        // and let it climb from frame to frame: keep only the fraction.
        if (phase > 1.0f) {
            phase = phase - std::floor(phase);
        }
    }
    return phase;
}

float BPMToTimer::doBPMAudioSpeedAdjustment(float bpm, float audioSpeed) {
    if (static_cast<double>(audioSpeed) <= 0.0001) {
        return 0.0f;
    }
    if (audioSpeed <= 0.0625f) {
        return bpm * 0.125f;
    }
    if (audioSpeed <= 0.125f) {
        return bpm * 0.25f;
    }
    if (audioSpeed <= 0.25f) {
        return bpm * 0.5f;
    }
    if (static_cast<double>(audioSpeed) >= 0.9999) {
        return bpm * 16.0f;
    }
    if (audioSpeed >= 0.9375f) {
        return bpm * 8.0f;
    }
    if (audioSpeed >= 0.875f) {
        return bpm * 4.0f;
    }
    if (audioSpeed >= 0.75f) {
        return bpm * 2.0f;
    }
    return bpm;
}

float BPMToTimer::doReactivityMute(float value, float reactivity) {
    return static_cast<double>(reactivity) < 0.001 ? 0.0f : value;
}
