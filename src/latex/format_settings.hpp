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
};

}  // namespace mensurator
