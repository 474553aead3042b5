#include "run/run_document.hpp"

#include <algorithm>
#include <exception>
#include <optional>
#include <variant>

#include "run/problems.hpp"
#include "run/program_state.hpp"
#include "run/statement_runner.hpp"
#include "syntax/statement_source.hpp"

namespace mensurator {

namespace {

// The first problem met in one phase: an ordinary error, or an internal fault to rethrow.
using Problem = std::variant<RunError, std::exception_ptr>;

// Output is kept in pieces of about this size.
constexpr std::size_t output_piece_size = std::size_t{1} << 20;

// Room for the output of `text_left` more bytes of source, which is usually a little more than
// their size, up to a piece and the statement that ends it. Growing by doubling would copy the
// output several times over; reserving much more than a piece would leave the memory allocator
// serving later requests from memory it never gives back.
void reserve_output(std::string& output, std::size_t text_left) {
    output.reserve(
        std::min(preamble.size() + 2 * text_left, output_piece_size + output_piece_size / 8));
}

Result<DocumentPieces> report(const Problem& problem) {
    if (const auto* fault = std::get_if<std::exception_ptr>(&problem))
        std::rethrow_exception(*fault);
    return fail(std::get<RunError>(problem));
}

}  // namespace

// Statement by statement: each is matched, built and run before the next is matched, so that only
// one statement's tree is held at a time. Outcomes keep their precedence: a parse failure anywhere
// beats a building error anywhere, which beats an evaluation error; so after a problem the rest of
// the document is still parsed (and built).
Result<DocumentPieces> run_document_pieces(std::string_view text, const RunOptions& options) {
    RunInterruption* const interruption = options.interruption;
    ProgramState state = seeded_state();
    state.settings = options.opt_ins.settings();
    reserve_output(state.output, text.size());
    state.steps = options.steps;
    state.shown_units.tracked = options.steps || may_show_steps_or_checks(text);
    // Documents spend some 40 bytes or more on each variable they define.
    state.variables.reserve(text.size() / 40);
    DocumentPieces document;
    StatementRunner runner(state);
    RunObserver* const observer = options.observer;
    StatementTrace trace;
    if (observer != nullptr) runner.trace_into(&trace);
    ExprStore expressions;  // one statement's at a time
    StatementSource source(text, options.implied_line_end, expressions, options.opt_ins.notation());
    std::optional<Problem> build_problem;
    std::optional<Problem> run_problem;
    std::size_t polled_at = 0;
    std::size_t finished_bytes = 0;  // in the pieces

    for (;;) {
        std::size_t end = 0;
        std::optional<Result<Statement>> statement;
        try {
            auto next = source.next(!build_problem);
            if (!next) return fail(parse_failure_error(next.error()));
            if (!*next) break;
            end = (*next)->end;
            statement = std::move((*next)->statement);
        } catch (const InternalError&) {
            if (!build_problem) build_problem = std::current_exception();
        }
        if (interruption != nullptr && end - polled_at >= RunInterruption::poll_interval) {
            polled_at = end;
            if (interruption->interrupted()) throw RunInterrupted{};
        }
        if (build_problem || !statement) continue;
        if (!*statement) {
            build_problem = statement->error();
            continue;
        }
        if (run_problem) continue;
        try {
            if (observer != nullptr) observer->before(**statement, state);
            if (Result<void> done = runner.run(**statement); !done) {
                run_problem = statement_error((*statement)->line, done.error());
            } else if (observer != nullptr) {
                observer->after(**statement, trace, state, finished_bytes);
            }
        } catch (const InternalError&) {
            run_problem = std::current_exception();
        }
        if (state.output.size() >= output_piece_size) {
            // Statements only ever change their own output, so a finished piece stays as it is.
            finished_bytes += state.output.size();
            document.pieces.push_back(std::move(state.output));
            state.output = std::string();
            reserve_output(state.output, text.size() - std::min(text.size(), end));
        }
    }

    if (build_problem) return report(*build_problem);
    if (run_problem) return report(*run_problem);
    runner.finish();
    document.pieces.push_back(std::move(state.output));
    return document;
}

Result<std::string> run_document(std::string_view text, const RunOptions& options) {
    Result<DocumentPieces> document = run_document_pieces(text, options);
    if (!document) return fail(std::move(document.error()));
    return std::move(*document).joined();
}

std::size_t DocumentPieces::size() const {
    std::size_t total = 0;
    for (const std::string& piece : pieces) total += piece.size();
    return total;
}

std::string DocumentPieces::joined() && {
    if (pieces.size() == 1) return std::move(pieces.front());
    std::string whole;
    whole.reserve(size());
    for (std::string& piece : pieces) {
        whole += piece;
        std::string().swap(piece);  // frees it: assigning an empty string would keep its buffer
    }
    return whole;
}

}  // namespace mensurator
