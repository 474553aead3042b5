#pragma once

#include <cstdint>
#include <expected>
#include <stdexcept>
#include <string>
#include <variant>

namespace mensurator {

struct ParsePosition {
    std::size_t line = 1;
    std::size_t column = 1;
};

// The one error type of a run; its display text is the message the caller sees.
class RunError {
  public:
    enum class Kind : std::uint8_t { ParseError, UnitError, Other };

    static RunError parse_error(ParsePosition where);
    static RunError unit_error(std::string text);
    static RunError other(std::string text);

    Kind kind() const { return kind_; }
    std::string display() const;

  private:
    RunError(Kind kind, std::variant<ParsePosition, std::string> payload)
        : kind_(kind), payload_(std::move(payload)) {}

    Kind kind_;
    std::variant<ParsePosition, std::string> payload_;
};

template <class T>
using Result = std::expected<T, RunError>;

inline std::unexpected<RunError> fail(RunError error) {
    return std::unexpected(std::move(error));
}

// The error of a failing statement: "Line {line}: {inner}".
RunError statement_error(std::uint64_t line, const RunError& inner);

// A broken invariant of the system itself, never caused by a document; reported to Python as an
// internal error, not as a run error.
class InternalError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace mensurator
