#pragma once

#include <cstdint>

#include "latex/format_settings.hpp"
#include "syntax/unit_cache.hpp"

namespace mensurator {

// What a document starts with, as if its first lines were the directives !sigfigs N (when not
// 0), !units extended and !symbols.
struct OptIns {
    std::uint8_t sigfigs = 0;
    bool extended_units = false;
    bool symbols = false;

    // The settings a run starts with.
    FormatSettings settings() const {
        FormatSettings initial;
        initial.sigfigs = sigfigs;
        initial.symbols = symbols;
        return initial;
    }

    // The notation its units are built in from the start.
    UnitNotation notation() const {
        return {extended_units ? UnitTable::extended : UnitTable::specified, symbols};
    }
};

}  // namespace mensurator
