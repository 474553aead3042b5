#pragma once

#include <string>
#include <string_view>

#include "run/error.hpp"

namespace mensurator {

// Runs one calculation document (the caller's text with one line feed appended) and returns the
// finished LaTeX document or the first error. Internal faults surface as InternalError.
Result<std::string> run_document(std::string_view text);

}  // namespace mensurator
