#include "run/program_state.hpp"

namespace mensurator {

ProgramState seeded_state() {
    ProgramState state;
    state.output = preamble;
    state.aliases.insert_or_assign("pi", "\\pi");
    state.variables.insert_or_assign("\\pi", Value{3.141592653589793, Unit{}});
    state.variables.insert_or_assign("e", Value{2.718281828459045, Unit{}});
    return state;
}

}  // namespace mensurator
