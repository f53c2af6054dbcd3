#pragma once

class AudioComponentDataLayer;

/// The onset rule shared by the beat components: an onset is a block RMS that
/// stands far enough above its running mean, after which the detector stays
/// closed for 0.12 s.
class OnsetDetector {
public:
    explicit OnsetDetector(bool armed) : armed(armed) {}

    /// Counts down the hold-off and re-arms once it has run out.
    void tick(float dt);
    /// tick(dt), then reports an onset (and closes) if armed and the RMS deviance
    /// reaches the reactivity-dependent threshold: 2.25, 1.5 or 0.75 standard
    /// deviations at reactivity 0, 0.5 and 1.
    bool detect(float rmsDeviance, float dt, float reactivity);
    /// detect() on the newest RMS deviance of the store.
    bool detect(const AudioComponentDataLayer* dataLayer, float dt, float reactivity);

    /// Marks an onset as taken: closed for the next 0.12 s.
    void resetBeat() {
        armed = false;
        holdoff = 0.12f;
    }

    bool isArmed() const { return armed; }
    float getHoldoff() const { return holdoff; }

private:
    /// Closes the detector and returns true if the deviance reaches the threshold.
    bool reachesThreshold(float rmsDeviance, float reactivity);

    bool armed;
    float holdoff = 0.0f;
};
