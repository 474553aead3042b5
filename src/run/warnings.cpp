#include "run/warnings.hpp"

#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "base/trim.hpp"
#include "grammar/char_classes.hpp"
#include "latex/number_format.hpp"
#include "quantity/value.hpp"
#include "run/problems.hpp"

namespace mensurator {

namespace {

// Past this many digits after the point a !digits setting no longer helps.
constexpr std::uint64_t most_useful_digits = 30;

const Expr* expression_of(const Statement& statement) {
    if (const auto* s = std::get_if<VarDec>(&statement.kind)) return &s->expr;
    if (const auto* s = std::get_if<PrintExpr>(&statement.kind)) return &s->expr;
    if (const auto* s = std::get_if<DecPrintExpr>(&statement.kind)) return &s->expr;
    return nullptr;
}

const UnitHint* hint_of(const Statement& statement) {
    if (const auto* s = std::get_if<PrintExpr>(&statement.kind)) return s->unit_hint.get();
    if (const auto* s = std::get_if<DecPrintExpr>(&statement.kind)) return s->unit_hint.get();
    return nullptr;
}

// Calls `found` with every unit name of a unit's LaTeX as written: the innermost \mathrm{...}
// groups of letters.
template <class Found>
void for_each_unit_name(std::string_view latex, Found&& found) {
    constexpr std::string_view open = "\\mathrm{";
    for (std::size_t at = latex.find(open); at != std::string_view::npos;
         at = latex.find(open, at + 1)) {
        const std::size_t begin = at + open.size();
        const std::size_t close = latex.find('}', begin);
        if (close == std::string_view::npos) return;
        const std::string_view name = trim(latex.substr(begin, close - begin));
        bool letters = !name.empty();
        for (const char c : name) letters = letters && (is_letter(c) || is_blank(c));
        if (letters) found(name);
    }
}

// The start of the unit annotation that ends at `name_at` on the line, walking back over units
// joined by * and /, and the operand before it: "2 kN/m * L" gives the offsets of "2" and "kN".
struct AnnotationStart {
    std::size_t operand = 0;
    std::size_t units = 0;
};

std::size_t skip_back(std::string_view line, std::size_t at, bool (*is_part)(char)) {
    while (at > 0 && is_part(line[at - 1])) --at;
    return at;
}

bool is_unit_part(char c) {
    return is_letter(c) || is_digit(c) || c == '^' || c == '-';
}
bool is_number_part(char c) {
    return is_digit(c) || c == '.';
}

AnnotationStart annotation_start(std::string_view line, std::size_t name_at) {
    std::size_t units = name_at;
    for (;;) {
        std::size_t at = skip_back(line, units, is_blank);
        if (at == 0 || (line[at - 1] != '*' && line[at - 1] != '/')) break;
        at = skip_back(line, at - 1, is_blank);
        const std::size_t unit = skip_back(line, at, is_unit_part);
        if (unit == at) break;
        units = unit;
    }
    const std::size_t operand_end = skip_back(line, units, is_blank);
    return {skip_back(line, operand_end, is_number_part), units};
}

bool shows_exactly(double x, std::uint64_t digits) {
    // Most literals have no more decimals than shown: scaled, they are whole, and the division
    // back gives the same double, as reading the shown text would.
    constexpr std::uint64_t exact_powers = 22;  // 10^22 is the largest exact double power of 10
    if (digits <= exact_powers) {
        const double scale = pow10(static_cast<std::int64_t>(digits));
        const double scaled = x * scale;
        if (std::abs(scaled) < 0x1p52 && std::nearbyint(scaled) / scale == x) return true;
    }
    const std::string shown = format_number(x, digits);
    return std::strtod(shown.c_str(), nullptr) == x;
}

bool letters_only(std::string_view name) {
    if (name.empty()) return false;
    for (const char c : name) {
        if (!is_letter(c)) return false;
    }
    return true;
}

// Significant digits of a plain decimal number text with a point ("0.002" has one), or nothing
// for another form.
std::optional<std::size_t> significant_digits(std::string_view number) {
    if (number.find('.') == std::string_view::npos) return std::nullopt;
    std::size_t count = 0;
    bool leading = true;
    for (const char c : number) {
        if (c == '-' || c == '.') continue;
        if (!is_digit(c)) return std::nullopt;
        if (c != '0') leading = false;
        if (!leading) ++count;
    }
    return count;
}

// Where a power of a parenthesised group is written on the line ("^" after ")"), else its
// first "^".
std::optional<std::size_t> power_of_group(std::string_view line) {
    for (std::size_t at = line.find('^'); at != std::string_view::npos;
         at = line.find('^', at + 1)) {
        const std::size_t before = skip_back(line, at, is_blank);
        if (before > 0 && line[before - 1] == ')') return at;
    }
    const std::size_t first = line.find('^');
    if (first == std::string_view::npos) return std::nullopt;
    return first;
}

}  // namespace

void WarningChecker::warn(const char* code, std::uint64_t line, std::string_view name,
                          std::string message, std::size_t search_from) {
    DocumentProblem problem;
    problem.severity = Severity::warning;
    problem.code = code;
    problem.line = line;
    problem.message = std::move(message);
    if (!name.empty()) {
        const std::string_view text = lines_.line(line);
        if (auto at = find_name_offset(text.substr(std::min(search_from, text.size())), name)) {
            problem.column = SourceLines::column(text, search_from + *at);
            problem.end_column = SourceLines::column(text, search_from + *at + name.size());
        }
        problem.name = std::string(name);
    }
    problems_.push_back(std::move(problem));
}

void WarningChecker::before(const Statement& statement, const ProgramState& state) {
    if (const auto* alias = std::get_if<AliasStmt>(&statement.kind)) {
        if (letters_only(alias->name)) unit_like_names_.insert(alias->name);
    }
    const Expr* expr = expression_of(statement);
    if (expr == nullptr) return;
    const ExprStore& store = *expr->store;
    const std::string_view line = lines_.line(statement.line);
    auto check_shadowing = [&](std::string_view name, bool in_hint) {
        if (!unit_like_names_.contains(name)) return;
        const auto alias = state.aliases.find(name);
        const std::string_view stored = alias != state.aliases.end() ? alias->second : name;
        if (!state.variables.find(stored)) return;
        std::string advice;
        if (const auto name_at = find_name_offset(line, name); name_at && !in_hint) {
            const AnnotationStart start = annotation_start(line, *name_at);
            std::string_view quantity = trim(line.substr(start.operand, *name_at - start.operand));
            // Drop the operator that joins the variable to the units before it.
            quantity = trim_end(quantity);
            char joint = '*';
            if (!quantity.empty() && (quantity.back() == '*' || quantity.back() == '/')) {
                joint = quantity.back();
                quantity = trim_end(quantity.substr(0, quantity.size() - 1));
            }
            const bool units_before = start.units != *name_at;
            advice =
                "; to use the variable, write " +
                (units_before ? "(" + std::string(quantity) + ") " : std::string(quantity) + ' ') +
                joint + ' ' + std::string(name);
        }
        // A hint stands after the "?" of its line.
        const std::size_t hint_at = in_hint ? line.find('?') : 0;
        warn("unit-shadows-variable", statement.line, name,
             std::string(name) + (in_hint ? " in the unit hint" : " in the unit annotation") +
                 " is read as the unit " + std::string(name) + ", not as the variable " +
                 std::string(name) + " defined above" + advice,
             hint_at == std::string_view::npos ? 0 : hint_at);
    };
    for (NodeIndex i = expr->nodes_begin; i < expr->nodes_end; ++i) {
        const ExprNode& node = store[i];
        if (node.kind == ExprKind::WithUnit && !unit_like_names_.empty()) {
            for_each_unit_name(store.annotation_latex(store.annotations[node.link.index]),
                               [&](std::string_view name) { check_shadowing(name, false); });
        } else if (node.kind == ExprKind::Chain &&
                   store[node.link.first].kind == ExprKind::WithUnit &&
                   store[store[node.link.first].next].op == OperatorKind::Pow) {
            warn("power-of-annotation", statement.line, "",
                 "The power applies to the whole annotated quantity, its number included (5 "
                 "(m/s)^2 is 25 m^2/s^2); to raise only the unit, write the power on each unit, "
                 "as in 5 m^2/s^2 or 0.25 kW^-1*hour^-1");
            if (const std::optional<std::size_t> caret = power_of_group(line)) {
                problems_.back().column = SourceLines::column(line, *caret);
            }
        }
    }
    if (const UnitHint* hint = hint_of(statement); hint && !unit_like_names_.empty()) {
        for_each_unit_name(hint->latex,
                           [&](std::string_view name) { check_shadowing(name, true); });
    }
}

void WarningChecker::after(const Statement& statement, const StatementTrace& trace,
                           const ProgramState& state) {
    const Expr* expr = expression_of(statement);
    if (expr == nullptr) return;
    if (letters_only(trace.name) && !unit_like_names_.contains(trace.name)) {
        unit_like_names_.insert(trace.name);
    }
    // Significant figures show every literal with its written figures and every value with as
    // many figures as asked for: nothing is hidden by the count of decimals.
    if (state.settings.sigfigs != 0) return;
    const ExprStore& store = *expr->store;
    const std::uint64_t digits = state.settings.digits;
    for (NodeIndex i = expr->nodes_begin; i < expr->nodes_end; ++i) {
        const ExprNode& node = store[i];
        if (node.kind != ExprKind::Number) continue;
        const double x = node.number;
        // Whole numbers are written without a point, and so exactly.
        if (!std::isfinite(x) || std::trunc(x) == x || shows_exactly(x, digits)) continue;
        std::uint64_t exact = digits + 1;
        while (exact <= most_useful_digits && !shows_exactly(x, exact)) ++exact;
        const std::string written = format_number(x, std::min(exact, most_useful_digits));
        const std::string shown = format_number(x, precision_for(x, digits));
        warn("literal-rounded", statement.line, written,
             "The number " + written + " is shown as " + shown + " but computed with as written; " +
                 (exact <= most_useful_digits ? "!digits " + std::to_string(exact) + " shows it"
                                              : std::string("!scientific shows it better")));
    }
    const bool prints = std::holds_alternative<PrintExpr>(statement.kind) ||
                        std::holds_alternative<DecPrintExpr>(statement.kind);
    if (!prints || !trace.value || trace.value->number == 0 || state.settings.scientific ||
        trace.line_begin == StatementTrace::no_line) {
        return;
    }
    // The printed value follows the expression and " = ".
    std::string_view value_text = std::string_view(state.output).substr(trace.expression_end);
    if (value_text.substr(0, 3) != " = ") return;
    value_text = value_text.substr(3);
    const std::string_view number = value_text.substr(0, value_text.find_first_of(" \\$"));
    if (const auto shown = significant_digits(number); shown && *shown < 2) {
        warn("value-underflows-digits", statement.line, "",
             "The value is shown as " + std::string(number) +
                 ", with fewer than two significant digits; !scientific or a smaller unit hint "
                 "shows it");
    }
}

}  // namespace mensurator
