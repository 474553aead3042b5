#include "run/warnings.hpp"

namespace mensurator {

void WarningChecker::before(const Statement&, const ProgramState&) {}

void WarningChecker::after(const Statement&, const StatementTrace&, const ProgramState&) {}

}  // namespace mensurator
