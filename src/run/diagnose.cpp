#include "run/diagnose.hpp"

#include <algorithm>
#include <optional>
#include <string>
#include <unordered_map>
#include <variant>

#include "base/trim.hpp"
#include "grammar/char_classes.hpp"
#include "run/problems.hpp"
#include "run/program_state.hpp"
#include "run/source_lines.hpp"
#include "run/statement_runner.hpp"
#include "run/warnings.hpp"
#include "syntax/statement_source.hpp"

namespace mensurator {

namespace {

// Definitions that failed, by stored name: their uses are not run, and the first one is noted.
struct FailedDefinition {
    std::uint64_t line = 1;
    bool noted = false;
};
using FailedDefinitions = std::unordered_map<std::string, FailedDefinition>;

// The stored name of a written one: trimmed, and renamed by its alias.
std::string stored_name(std::string_view written, const AliasTable& aliases) {
    const std::string_view trimmed = trim(written);
    const auto alias = aliases.find(trimmed);
    return alias != aliases.end() ? alias->second : std::string(trimmed);
}

// The name a definition line defines, read from its text ("name = ..."): for a statement that
// failed to build, of which nothing else is known.
std::optional<std::string_view> defined_name_on_line(std::string_view line_text) {
    const std::size_t equals = line_text.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const std::string_view name = trim(line_text.substr(0, equals));
    if (name.empty() || !is_ident_start(name.front())) return std::nullopt;
    if (!std::ranges::all_of(name.substr(1), is_ident_rest)) return std::nullopt;
    return name;
}

std::optional<std::string_view> defined_name(const Statement& statement) {
    if (const auto* definition = std::get_if<VarDec>(&statement.kind)) return definition->name;
    if (const auto* definition = std::get_if<DecPrintExpr>(&statement.kind))
        return definition->name;
    return std::nullopt;
}

const Expr* expression_of(const Statement& statement) {
    if (const auto* s = std::get_if<VarDec>(&statement.kind)) return &s->expr;
    if (const auto* s = std::get_if<PrintExpr>(&statement.kind)) return &s->expr;
    if (const auto* s = std::get_if<DecPrintExpr>(&statement.kind)) return &s->expr;
    return nullptr;
}

// The first failed definition the statement's expression uses, with the name as written.
struct FailedUse {
    std::string_view written;
    FailedDefinitions::iterator definition;
};

std::optional<FailedUse> failed_use(const Statement& statement, const AliasTable& aliases,
                                    FailedDefinitions& failed) {
    const Expr* expr = expression_of(statement);
    if (expr == nullptr || failed.empty()) return std::nullopt;
    const ExprStore& store = *expr->store;
    for (NodeIndex i = expr->nodes_begin; i < expr->nodes_end; ++i) {
        if (store[i].kind != ExprKind::Variable) continue;
        const std::string_view written = store.names[store[i].link.index];
        if (auto found = failed.find(stored_name(written, aliases)); found != failed.end())
            return FailedUse{trim(written), found};
    }
    return std::nullopt;
}

// The first line start after `offset`, if the text has one.
std::optional<std::size_t> next_line_start(std::string_view text, std::size_t offset) {
    const std::size_t line_feed = text.find('\n', offset);
    if (line_feed == std::string_view::npos) return std::nullopt;
    return line_feed + 1;
}

// The problems found so far, and which of them run_document would report: a parse failure beats
// a building error, which beats an error of running.
class Findings {
  public:
    void parse_failure(DocumentProblem problem) { add(std::move(problem), first_parse_); }
    void build_error(DocumentProblem problem) { add(std::move(problem), first_build_); }
    void run_error(DocumentProblem problem) { add(std::move(problem), first_run_); }
    void note(DocumentProblem problem) { problems_.push_back(std::move(problem)); }
    bool has_parse_failure() const { return first_parse_.has_value(); }

    // The reported error first, then every other problem, warnings among them, by line.
    Problems finish(Problems warnings) && {
        const std::optional<std::size_t> primary = first_parse_   ? first_parse_
                                                   : first_build_ ? first_build_
                                                                  : first_run_;
        Problems ordered;
        ordered.reserve(problems_.size() + warnings.size());
        if (primary) ordered.push_back(problems_[*primary]);
        const std::size_t rest = ordered.size();
        for (std::size_t i = 0; i < problems_.size(); ++i) {
            if (i != primary) ordered.push_back(std::move(problems_[i]));
        }
        for (DocumentProblem& warning : warnings) ordered.push_back(std::move(warning));
        std::stable_sort(
            ordered.begin() + static_cast<std::ptrdiff_t>(rest), ordered.end(),
            [](const DocumentProblem& a, const DocumentProblem& b) { return a.line < b.line; });
        return ordered;
    }

  private:
    Problems problems_;
    std::optional<std::size_t> first_parse_;
    std::optional<std::size_t> first_build_;
    std::optional<std::size_t> first_run_;

    void add(DocumentProblem problem, std::optional<std::size_t>& first) {
        if (!first) first = problems_.size();
        problems_.push_back(std::move(problem));
    }
};

}  // namespace

Problems diagnose_document(std::string_view text, const RunOptions& options) {
    RunInterruption* const interruption = options.interruption;
    const SourceLines lines(text);
    ProgramState state = seeded_state();
    state.settings = options.opt_ins.settings();
    StatementRunner runner(state);
    StatementTrace trace;
    runner.trace_into(&trace);
    WarningChecker warnings(lines);
    ExprStore expressions;  // one statement's at a time
    StatementSource source(text, options.implied_line_end, expressions, options.opt_ins.notation());
    Findings findings;
    FailedDefinitions failed;
    std::size_t polled_at = 0;
    bool inside_unclosed_block = false;

    // The definition on `line` failed: its name is defined-but-unknown from here on.
    auto definition_failed = [&](std::string_view written, std::uint64_t line, bool noted) {
        failed.insert_or_assign(stored_name(written, state.aliases), FailedDefinition{line, noted});
    };

    for (;;) {
        std::size_t end = 0;
        std::optional<Result<Statement>> statement;
        auto next = source.next();
        if (!next) {
            // Inside an unclosed block only the failure run_document would report counts.
            if (inside_unclosed_block) {
                if (!findings.has_parse_failure())
                    findings.parse_failure(parse_problem(next.error()));
                break;
            }
            findings.parse_failure(parse_problem(next.error()));
            // Always forward, also when the failure is placed before the statement.
            const std::optional<std::size_t> resume =
                next_line_start(text, std::max(source.statement_start(), next.error().position));
            if (!resume) break;
            source.resume_at(*resume);
            end = *resume;
        } else {
            if (!*next) break;
            end = (*next)->end;
            statement = std::move((*next)->statement);
        }
        if (interruption != nullptr && end - polled_at >= RunInterruption::poll_interval) {
            polled_at = end;
            if (interruption->interrupted()) throw RunInterrupted{};
        }
        if (!statement || inside_unclosed_block) continue;
        if (!*statement) {
            DocumentProblem problem =
                statement_problem(statement->error(), ErrorStage::build, lines);
            if (auto name = defined_name_on_line(lines.line(problem.line)))
                definition_failed(*name, problem.line, false);
            // A LaTeX block that never closes fails as an invalid statement at its fence; the
            // rest of the document is the block's text, not statements.
            if (problem.code == "invalid-statement" &&
                trim(lines.line(problem.line)).starts_with("'''")) {
                inside_unclosed_block = true;
            }
            findings.build_error(std::move(problem));
            continue;
        }
        Statement& current = **statement;
        const std::optional<std::string_view> defines = defined_name(current);
        if (const std::optional<FailedUse> use = failed_use(current, state.aliases, failed)) {
            FailedDefinition& cause = use->definition->second;
            if (!cause.noted) {
                cause.noted = true;
                DocumentProblem problem;
                problem.code = "depends-on-failed";
                problem.line = current.line;
                problem.message =
                    "Line " + std::to_string(current.line) + ": " + std::string(use->written) +
                    " is unknown: its definition on line " + std::to_string(cause.line) + " failed";
                problem.name = std::string(use->written);
                if (auto span = find_name(lines.line(current.line), use->written)) {
                    problem.column = span->column;
                    problem.end_column = span->end_column;
                }
                findings.note(std::move(problem));
            }
            if (defines) definition_failed(*defines, cause.line, true);
            continue;
        }
        warnings.before(current, state);
        if (Result<void> done = runner.run(current); !done) {
            findings.run_error(statement_problem(statement_error(current.line, done.error()),
                                                 ErrorStage::run, lines));
            if (defines) definition_failed(*defines, current.line, false);
        } else {
            warnings.after(current, trace, state);
            if (defines) failed.erase(stored_name(*defines, state.aliases));
        }
        // Only what each statement prints is looked at, so the output need not be kept.
        state.output.clear();
    }
    return std::move(findings).finish(warnings.take());
}

}  // namespace mensurator
