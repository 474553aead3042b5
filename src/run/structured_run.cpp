#include "run/structured_run.hpp"

#include <utility>

#include "run/program_state.hpp"
#include "run/source_lines.hpp"
#include "run/statement_recorder.hpp"
#include "run/statement_runner.hpp"
#include "run/warnings.hpp"

namespace mensurator {

namespace {

class Recorder final : public RunObserver {
  public:
    // Most documents hold about one statement a line.
    explicit Recorder(std::string_view text) : lines_(text), warnings_(lines_) {
        statements_.reserve(lines_.count());
    }

    void before(const Statement& statement, const ProgramState& state) override {
        warnings_.before(statement, state);
    }
    void after(const Statement& statement, const StatementTrace& trace, const ProgramState& state,
               std::size_t output_offset) override {
        statements_.push_back(record_statement(statement, trace, state, output_offset, lines_));
        warnings_.after(statement, trace, state);
    }

    std::vector<StatementRecord> take_statements() { return std::move(statements_); }
    Problems take_warnings() { return warnings_.take(); }

  private:
    SourceLines lines_;
    WarningChecker warnings_;
    std::vector<StatementRecord> statements_;
};

}  // namespace

Result<StructuredRun> run_structured(std::string_view text, RunOptions options) {
    Recorder recorder(text);
    options.observer = &recorder;
    Result<DocumentPieces> latex = run_document_pieces(text, options);
    if (!latex) return fail(std::move(latex.error()));
    return StructuredRun{std::move(*latex), recorder.take_statements(), recorder.take_warnings()};
}

}  // namespace mensurator
