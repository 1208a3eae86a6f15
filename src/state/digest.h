// digest.h -- a digest of the whole game state: every field and every record
// of the arrays, the same number on every machine. The replay tests fold it
// after every frame; a recording keeps it for the state at its game's end.
#pragma once

#include <cstdint>

namespace valmoren {

// The state as it is now folded into `before` (FNV-1a over the values' bytes
// in little-endian order, reals by their bits, counts as eight bytes).
uint64_t fold_state(uint64_t before);

}  // namespace valmoren
