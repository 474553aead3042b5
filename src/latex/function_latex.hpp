#pragma once

#include <string>
#include <string_view>

namespace mensurator {

// How a call of a function is typeset as printed matter: what comes before its arguments and
// what after them (\sqrt{...}, \sin(...), \log_{10}(...), \left|...\right|); a function without a
// LaTeX operator of its own is written \mathrm{name}(...).
struct PrintedCall {
    std::string open;
    std::string_view close;
};

PrintedCall printed_call(std::string_view name);

}  // namespace mensurator
