// Coverage-guided fuzz target for the run entry. Every input is run as a document (with the line
// feed the Python binding appends). A RunError is an ordinary outcome; everything else that breaks
// the module's contract aborts so that the fuzzer keeps the input: an internal error, any other
// escaping exception (through std::terminate), a document without its preamble or closing, a
// message that names no line, a result that is not UTF-8 although the text was (the Python
// module would have to replace characters), or a second run of the same text with a different
// result. The input is also written as a math line's MathML, which must be UTF-8 when written.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "base/error.hpp"
#include "mathml/display_mathml.hpp"
#include "run/run_document.hpp"

namespace {

constexpr std::string_view preamble = "\\documentclass{article}\n\\begin{document}\n";
constexpr std::string_view closing = "\\end{document}";

[[noreturn]] void contract_broken(std::string_view what, std::string_view detail) {
    std::fprintf(stderr, "contract broken: %.*s\n%.*s\n", static_cast<int>(what.size()),
                 what.data(), static_cast<int>(detail.size()), detail.data());
    std::abort();
}

// Well-formed UTF-8: no stray continuation bytes, overlong forms, surrogates or code points past
// U+10FFFF, which is what the Python module hands over for any str it accepts.
bool is_utf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
        const unsigned lead = byte(i);
        std::size_t length = 1;
        unsigned low = 0x80;
        unsigned high = 0xBF;  // range of the second byte
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (i + length > text.size() || byte(i + 1) < low || byte(i + 1) > high) return false;
        for (std::size_t k = 2; k < length; ++k) {
            if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return false;
        }
        i += length;
    }
    return true;
}

// The text a run gives: the document, or the error message marked as such.
std::string outcome(std::string_view text, bool implied_line_end = false) {
    try {
        const mensurator::Result<std::string> document =
            mensurator::run_document(text, {.implied_line_end = implied_line_end});
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
    const std::string_view written(reinterpret_cast<const char*>(data), size);
    std::string text(written);
    text += '\n';
    const std::string first = outcome(text);
    if (is_utf8(text) && !is_utf8(first)) contract_broken("result is not UTF-8", first);
    if (outcome(text) != first) contract_broken("two runs of the same text differ", first);
    // Reading the text as if it ended with a line feed must be the same as appending one.
    if (outcome(written, true) != first) contract_broken("an implied line end differs", first);
    // The companion module hands the MathML writer any string, not only the engine's math lines.
    const std::optional<std::string> mathml = mensurator::display_mathml(written);
    if (mathml && !is_utf8(*mathml)) contract_broken("MathML is not UTF-8", *mathml);
    return 0;
}
