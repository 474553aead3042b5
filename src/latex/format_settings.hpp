#pragma once

#include <cstdint>

#include "syntax/tree.hpp"

namespace mensurator {

// Display settings of one rendering. The hint, when present, is borrowed from the statement that
// is being printed.
struct FormatSettings {
    const UnitHint* unit_hint = nullptr;
    std::uint64_t digits = 3;
    bool scientific = false;
    // Significant figures instead of the digits after the point, when not 0 (!sigfigs).
    std::uint8_t sigfigs = 0;
    // Functions and unit annotations typeset as printed matter (!symbols).
    bool symbols = false;
};

}  // namespace mensurator
