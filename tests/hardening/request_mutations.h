// Mutated request bodies for opnum 0 of RadioControlInterface, generated from the
// well-formed bodies of a few strings. None of them names a request the service would
// switch for (see NamesARequest), so a barrage of them must leave the radio alone.
#pragma once

#include <random>
#include <vector>

#include "raw_request.h"

struct MutatedBody {
    const char* Kind;    // the fault it carries, e.g. "no terminator"
    Bytes Body;
    bool MustBeRefused;  // no well-formed string can be read from it
};

// Every systematic mutation of every seed string (counts, offsets, terminator,
// truncation at each length), then `randomCount` random ones drawn from `random`.
std::vector<MutatedBody> MutatedRequestBodies(std::mt19937& random, size_t randomCount);

// Bodies of any shape, for opnums the interface does not have.
std::vector<Bytes> RandomBodies(std::mt19937& random, size_t count);
