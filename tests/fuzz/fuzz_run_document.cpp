// Coverage-guided fuzz target for the run entry. Every input is run as a document (with the line
// feed the Python binding appends). A RunError is an ordinary outcome; everything else that breaks
// the module's contract aborts so that the fuzzer keeps the input: an internal error, any other
// escaping exception (through std::terminate), a document without its preamble or closing, a
// message that names no line, or a second run of the same text with a different result.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "run/error.hpp"
#include "run/run_document.hpp"

namespace {

constexpr std::string_view preamble = "\\documentclass{article}\n\\begin{document}\n";
constexpr std::string_view closing = "\\end{document}";

[[noreturn]] void contract_broken(std::string_view what, std::string_view detail) {
    std::fprintf(stderr, "contract broken: %.*s\n%.*s\n", static_cast<int>(what.size()),
                 what.data(), static_cast<int>(detail.size()), detail.data());
    std::abort();
}

// The text a run gives: the document, or the error message marked as such.
std::string outcome(std::string_view text) {
    try {
        const mensurator::Result<std::string> document = mensurator::run_document(text);
        if (document) {
            if (!document->starts_with(preamble))
                contract_broken("document without preamble", *document);
            if (!document->ends_with(closing))
                contract_broken("document without closing", *document);
            return "document:" + *document;
        }
        const std::string message = document.error().display();
        if (!message.starts_with("Line ") && !message.starts_with("Parsing Error near ")) {
            contract_broken("error message names no line", message);
        }
        return "error:" + message;
    } catch (const mensurator::InternalError& fault) {
        contract_broken("internal error", fault.what());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    text += '\n';
    const std::string first = outcome(text);
    if (outcome(text) != first) contract_broken("two runs of the same text differ", first);
    return 0;
}
