#include "base/error.hpp"

#include <initializer_list>
#include <string>
#include <string_view>

namespace mensurator {

RunError RunError::parse_error(ParsePosition where) {
    return RunError(Kind::ParseError, where);
}

RunError RunError::unit_error(std::string text) {
    return RunError(Kind::UnitError, std::move(text));
}

RunError RunError::other(std::string text) {
    return RunError(Kind::Other, std::move(text));
}

namespace {

// Joins the pieces by appending, with one allocation.
std::string concat(std::initializer_list<std::string_view> pieces) {
    std::size_t size = 0;
    for (const std::string_view piece : pieces) size += piece.size();
    std::string text;
    text.reserve(size);
    for (const std::string_view piece : pieces) text += piece;
    return text;
}

}  // namespace

std::string RunError::display() const {
    if (const auto* at = std::get_if<ParsePosition>(&payload_)) {
        return concat({"Parsing Error near line ", std::to_string(at->line), " column ",
                       std::to_string(at->column), "\n"});
    }
    return std::get<std::string>(payload_);
}

RunError statement_error(std::uint64_t line, const RunError& inner) {
    return RunError::other(concat({"Line ", std::to_string(line), ": ", inner.display()}));
}

}  // namespace mensurator
