#pragma once

/// The two user controls handed to every component update, each in [0, 1].
struct UserInputs {
    float reactivity = 0.5f;
    float audioSpeed = 0.5f;
};
