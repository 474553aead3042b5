#pragma once

#include <optional>
#include <string_view>

#include "base/error.hpp"
#include "syntax/tree.hpp"

namespace mensurator {

// Significant figures a document may ask for with !sigfigs: as many as a double holds.
inline constexpr std::uint8_t max_sigfigs = 17;

// The directive a line the standard grammar does not match spells (`!sigfigs N`, `!units
// extended`, `!symbols`, blanks allowed after the "!" and between the words as in !digits), or
// nothing when it is none of them; a sigfigs count out of range is an error.
std::optional<Result<Statement::Kind>> opt_in_directive(std::string_view line);

}  // namespace mensurator
