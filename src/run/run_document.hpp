#pragma once

#include <string>
#include <string_view>

#include "base/error.hpp"
#include "run/run_interruption.hpp"

namespace mensurator {

// Runs one calculation document (the caller's text with one line feed appended) and returns the
// finished LaTeX document or the first error. Internal faults surface as InternalError. With an
// `interruption`, a long run can be stopped between statements (see RunInterruption).
Result<std::string> run_document(std::string_view text, RunInterruption* interruption = nullptr);

}  // namespace mensurator
