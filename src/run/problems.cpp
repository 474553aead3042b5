#include "run/problems.hpp"

#include <charconv>
#include <optional>
#include <string>

#include "grammar/char_classes.hpp"

namespace mensurator {

RunError parse_failure_error(const ParseFailure& failure) {
    if (failure.nesting_too_deep) {
        return statement_error(failure.line,
                               RunError::other("Brackets are nested more than " +
                                               std::to_string(max_nesting_depth) + " levels deep"));
    }
    return RunError::parse_error(ParsePosition{failure.line, failure.column});
}

DocumentProblem parse_problem(const ParseFailure& failure) {
    DocumentProblem problem;
    problem.code = "parse-error";
    problem.line = failure.line;
    problem.column = failure.column;
    problem.message = parse_failure_error(failure).display();
    return problem;
}

namespace {

bool is_name_char(char c) {
    return is_letter(c) || is_digit(c) || c == '_';
}

// What a message's inner text says, and the name it concerns.
struct Classified {
    const char* code;
    std::optional<std::string> name;
};

bool starts_with(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

Classified classify(std::string_view inner, ErrorStage stage) {
    constexpr std::string_view not_a_unit = " is not a variable or a valid unit";
    if (const std::size_t at = inner.rfind(not_a_unit);
        at != std::string_view::npos && at + not_a_unit.size() == inner.size()) {
        return {stage == ErrorStage::build ? "unknown-unit" : "unknown-variable",
                std::string(inner.substr(0, at))};
    }
    if (starts_with(inner, "Unknown function ")) {
        return {"unknown-function", std::string(inner.substr(17))};
    }
    if (starts_with(inner, "Incorrect number of arguments to function ")) {
        std::string_view rest = inner.substr(42);
        return {"argument-count", std::string(rest.substr(0, rest.find(',')))};
    }
    if (starts_with(inner, "Invalid statement")) return {"invalid-statement", std::nullopt};
    if (starts_with(inner, "Digit count")) return {"bad-digits", std::nullopt};
    if (starts_with(inner, "Brackets are nested")) return {"parse-error", std::nullopt};
    if (starts_with(inner, "Unit hint ") || starts_with(inner, "Can't ") ||
        starts_with(inner, "Functions require all arguments to have the same unit") ||
        (starts_with(inner, "Exponent ") && inner.find(" with unit ") != std::string_view::npos)) {
        return {"unit-mismatch", std::nullopt};
    }
    return {"other-error", std::nullopt};
}

}  // namespace

std::optional<std::size_t> find_name_offset(std::string_view line_text, std::string_view name) {
    if (name.empty()) return std::nullopt;
    for (std::size_t at = line_text.find(name); at != std::string_view::npos;
         at = line_text.find(name, at + 1)) {
        const std::size_t end = at + name.size();
        const bool starts_word = at == 0 || !is_name_char(line_text[at - 1]);
        const bool ends_word = end == line_text.size() || !is_name_char(line_text[end]);
        if (starts_word && ends_word) return at;
    }
    return std::nullopt;
}

std::optional<ColumnSpan> find_name(std::string_view line_text, std::string_view name) {
    const std::optional<std::size_t> at = find_name_offset(line_text, name);
    if (!at) return std::nullopt;
    return ColumnSpan{SourceLines::column(line_text, *at),
                      SourceLines::column(line_text, *at + name.size())};
}

DocumentProblem statement_problem(const RunError& error, ErrorStage stage,
                                  const SourceLines& lines) {
    DocumentProblem problem;
    problem.message = error.display();
    std::string_view inner = problem.message;
    // Statement errors read "Line {line}: {inner}".
    if (starts_with(inner, "Line ")) {
        const char* digits = inner.data() + 5;
        std::uint64_t line = 0;
        const auto [end, failed] = std::from_chars(digits, inner.data() + inner.size(), line);
        const std::size_t consumed = static_cast<std::size_t>(end - inner.data());
        if (failed == std::errc{} && inner.substr(consumed, 2) == ": ") {
            problem.line = line;
            inner = inner.substr(consumed + 2);
        }
    }
    Classified classified = classify(inner, stage);
    problem.code = classified.code;
    if (classified.name) {
        if (const auto span = find_name(lines.line(problem.line), *classified.name)) {
            problem.column = span->column;
            problem.end_column = span->end_column;
        }
        problem.name = std::move(classified.name);
    }
    return problem;
}

}  // namespace mensurator
