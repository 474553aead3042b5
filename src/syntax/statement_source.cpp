#include "syntax/statement_source.hpp"

#include <utility>

#include "syntax/fast_statement.hpp"
#include "syntax/statement_builder.hpp"

namespace mensurator {

StatementSource::StatementSource(std::string_view text, bool implied_line_end, ExprStore& store,
                                 UnitNotation notation)
    : text_(text),
      implied_line_end_(implied_line_end),
      store_(store),
      assembler_(store),
      stream_(text, implied_line_end),
      lines_(text, implied_line_end) {
    use_notation(notation);
}

void StatementSource::use_notation(UnitNotation notation) {
    notation_ = notation;
    store_.unit_table = notation.table;
    assembler_.use_units(UnitCache::of_this_thread(notation));
}

void StatementSource::follow_directive(const Statement& statement) {
    const auto* directive = std::get_if<OptInDirective>(&statement.kind);
    if (directive == nullptr) return;
    UnitNotation notation = notation_;
    if (directive->kind == OptInDirective::Kind::extended_units) {
        notation.table = UnitTable::extended;
    }
    if (directive->kind == OptInDirective::Kind::symbols) notation.symbols = true;
    use_notation(notation);
}

std::expected<std::optional<SourcedStatement>, ParseFailure> StatementSource::next(bool build) {
    store_.clear();
    // The statement is built in the result itself, which is returned as it is.
    std::expected<std::optional<SourcedStatement>, ParseFailure> result{std::in_place,
                                                                        std::in_place};
    SourcedStatement& sourced = **result;
    // Most statements take the fast path; the grammar engine matches the rest, and is what
    // reports failures. The stream is told where the fast path went on only when it is needed.
    if (!stream_.finished()) {
        statement_start_ = fast_next_ ? *fast_next_ : stream_.position();
        if (const auto next = build_fast_statement(text_, implied_line_end_, statement_start_,
                                                   lines_, assembler_, sourced.statement)) {
            fast_next_ = *next;
            sourced.end = *next;
            return result;
        }
    }
    if (fast_next_) stream_.skip_to(*std::exchange(fast_next_, std::nullopt));
    auto node = stream_.next();
    if (!node) {
        result = std::unexpected(node.error());
    } else if (!*node) {
        result->reset();
    } else {
        sourced.end = (**node).end;
        if (build) {
            sourced.statement = build_statement(**node, text_, lines_, assembler_);
            if (*sourced.statement) follow_directive(**sourced.statement);
        }
    }
    return result;
}

}  // namespace mensurator
