#pragma once

namespace Transformer {

/// Marker base of the per-block transforms: no state, no operations.
class Ephemeral {};

} // namespace Transformer
