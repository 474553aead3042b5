#include "syntax/opt_in_directive.hpp"

#include <charconv>
#include <string>

#include "grammar/scanner.hpp"

namespace mensurator {

namespace {

class DirectiveScanner : public Scanner {
  public:
    explicit DirectiveScanner(std::string_view line) : Scanner(line, false, 0) {}

    std::optional<Result<Statement::Kind>> directive() {
        if (!literal("!")) return std::nullopt;
        skip();
        std::optional<Result<Statement::Kind>> kind;
        // A count may follow without a blank, as after !digits.
        if (literal("sigfigs")) {
            skip();
            const std::size_t start = pos_;
            if (integer()) kind = sigfigs(text_.substr(start, pos_ - start));
        } else if (word("units")) {
            skip();
            if (word("extended")) kind = OptInDirective{OptInDirective::Kind::extended_units};
        } else if (word("symbols")) {
            kind = OptInDirective{OptInDirective::Kind::symbols};
        }
        skip();
        return at_end() ? kind : std::nullopt;
    }

  private:
    // The word, not followed by more of a name ("symbolsx" is no directive).
    bool word(std::string_view w) {
        const std::size_t start = pos_;
        if (literal(w) && !char_if(is_ident_rest)) return true;
        pos_ = start;
        return false;
    }

    static Result<Statement::Kind> sigfigs(std::string_view text) {
        unsigned count = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
        if (error != std::errc{} || end != text.data() + text.size() || count < 1 ||
            count > max_sigfigs) {
            return fail(RunError::other("Significant figure count " + std::string(text) +
                                        " is out of range 1.." + std::to_string(max_sigfigs)));
        }
        return OptInDirective{OptInDirective::Kind::sigfigs, static_cast<std::uint8_t>(count)};
    }
};

}  // namespace

std::optional<Result<Statement::Kind>> opt_in_directive(std::string_view line) {
    return DirectiveScanner(line).directive();
}

}  // namespace mensurator
