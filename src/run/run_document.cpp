#include "run/run_document.hpp"

#include "run/evaluator.hpp"
#include "run/front_end.hpp"

namespace mensurator {

Result<std::string> run_document(std::string_view text) {
    Result<ProgramState> state = front_end(text);
    if (!state) return fail(state.error());
    return evaluate_program(std::move(*state));
}

}  // namespace mensurator
