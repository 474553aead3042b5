#include "run/statement_recorder.hpp"

#include <algorithm>
#include <string>
#include <variant>

#include "base/trim.hpp"

namespace mensurator {

namespace {

template <class... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};

}  // namespace

TextSpan hint_as_written(const SourceLines& lines, std::uint64_t line) {
    const std::string_view text = lines.line(line);
    const std::size_t mark = text.find('?');
    if (mark == std::string_view::npos) return {lines.start(line), 0};
    const std::string_view hint = trim(text.substr(mark + 1));
    return {static_cast<std::size_t>(hint.data() - lines.text().data()), hint.size()};
}

StatementRecord record_statement(const Statement& statement, const StatementTrace& trace,
                                 const ProgramState& state, std::size_t output_offset,
                                 const SourceLines& lines) {
    StatementRecord record;
    record.first_line = statement.line;
    record.last_line = statement.line;
    const std::size_t output_size = state.output.size();
    const bool wrote_line = trace.line_begin != StatementTrace::no_line;
    auto take_expression = [&] {
        if (!wrote_line) return;
        record.expression = TextSpan{output_offset + trace.expression_begin,
                                     trace.expression_end - trace.expression_begin};
        // The math line ends with its line feed.
        record.printed =
            TextSpan{output_offset + trace.line_begin, output_size - 1 - trace.line_begin};
        record.value = trace.value;
    };
    auto take_hint = [&](const std::shared_ptr<const UnitHint>& hint) {
        if (hint) record.hint = hint_as_written(lines, statement.line);
    };
    std::visit(Overloaded{
                   [&](const VarDec&) {
                       record.kind = StatementKind::definition;
                       record.name = trace.name;
                       take_expression();
                   },
                   [&](const PrintExpr& print) {
                       record.kind = StatementKind::print;
                       take_expression();
                       take_hint(print.unit_hint);
                   },
                   [&](const DecPrintExpr& print) {
                       record.kind = StatementKind::definition_print;
                       record.name = trace.name;
                       take_expression();
                       take_hint(print.unit_hint);
                   },
                   [&](const AliasStmt& alias) {
                       record.kind = StatementKind::alias;
                       record.name = alias.display;
                   },
                   [&](const DigitSet&) { record.kind = StatementKind::digits; },
                   [&](const SetScientific&) { record.kind = StatementKind::scientific; },
                   [&](const LineGap&) { record.kind = StatementKind::gap; },
                   [&](const CheckStmt&) {
                       record.kind = StatementKind::check;
                       if (wrote_line) {
                           record.printed = TextSpan{output_offset + trace.line_begin,
                                                     output_size - 1 - trace.line_begin};
                       }
                       if (trace.check) record.check = std::make_unique<CheckVerdict>(*trace.check);
                   },
                   [&](const SetSteps&) { record.kind = StatementKind::steps; },
                   [&](const OptInDirective&) { record.kind = StatementKind::opt_in; },
                   [&](const LatexBlock& block) {
                       record.kind = StatementKind::latex;
                       record.last_line =
                           statement.line +
                           static_cast<std::uint64_t>(std::ranges::count(block.text, '\n'));
                   },
               },
               statement.kind);
    return record;
}

}  // namespace mensurator
