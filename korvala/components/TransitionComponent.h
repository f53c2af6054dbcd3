#pragma once

#include "korvala/components/AudioComponent.h"

namespace Korvala {

/// A scalar component that can notify the host through a plain C callback.
class TransitionComponent : public AudioComponent {
public:
    using Callback = void (*)(void*);

    /// Stores the handler and its context; a later call replaces both, null disables.
    void setCallback(Callback cb, void* ctx) {
        callback = cb;
        context = ctx;
    }
    /// Calls callback(context) if a callback is set.
    void trigger() {
        if (callback != nullptr) {
            callback(context);
        }
    }

private:
    Callback callback = nullptr;
    void* context = nullptr;
};

} // namespace Korvala
