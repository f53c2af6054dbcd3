#pragma once

/// A phase that runs through [0, 1] once per `beatsPerCycle` beats of a tempo,
/// plus the audio-speed ladder and the reactivity mute of the tempo components.
class BPMToTimer {
public:
    BPMToTimer() = default;

    /// Advances the phase by bpm × dt / 60 / beatsPerCycle and wraps it; returns it.
    float update(float bpm, float dt, float beatsPerCycle);

    float getValue() const { return phase; }
    void setValue(float v) { phase = v; }

    /// Hook for re-aligning the phase to detected beats; nothing needs it yet.
    void phaseCorrection() {}

    /// The tempo scaled by the audio-speed ladder: ×0 at the bottom, ×1/8 … ×16 at the top.
    static float doBPMAudioSpeedAdjustment(float bpm, float audioSpeed);
    /// 0 when reactivity < 0.001, else `value` (a NaN reactivity passes `value`).
    static float doReactivityMute(float value, float reactivity);

private:
    float phase = 0.0f;
};
