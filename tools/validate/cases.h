// Shared between the case files of the validator: the random source and the hostile values
// every case draws from.
#pragma once

#include "host/event_list.h"
#include "tools/validate/validator.h"

#include <cstdint>
#include <random>

namespace zrvalidate {

using Random = std::mt19937_64;

// A number in [0, n) (n > 0).
inline std::uint32_t below(Random& rng, std::uint32_t n) {
    return static_cast<std::uint32_t>(rng() % n);
}

// One hostile value for `pin`, added to `events` at `time`. With `finite` only values whose
// float reading is finite are drawn (for cases whose outputs must stay finite). Pins of blind
// subjects get a value of a random type. Returns whether the value has a variable length (text
// or bytes), which the receiving pin may need storage for.
bool addHostileValue(zrhost::EventList& events, gmpi::int32 time, const zrhost::PinInfo& pin,
                     bool blind, bool finite, Random& rng);

std::string runAudioCase(zrhost::ModuleLibrary& library, const Subject& subject, Case c,
                         Random& rng);
std::string runGuiCase(zrhost::ModuleLibrary& library, const Subject& subject, Case c, Random& rng);

} // namespace zrvalidate
