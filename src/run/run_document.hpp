#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.hpp"
#include "run/opt_ins.hpp"
#include "run/run_interruption.hpp"

namespace mensurator {

struct ProgramState;
struct Statement;
struct StatementTrace;

// Told about every statement just before and just after it runs successfully, while its output
// is still in the state's output; `output_offset` is where the state's output starts in the
// finished document.
class RunObserver {
  public:
    virtual void before(const Statement& statement, const ProgramState& state) = 0;
    virtual void after(const Statement& statement, const StatementTrace& trace,
                       const ProgramState& state, std::size_t output_offset) = 0;

  protected:
    ~RunObserver() = default;
};

struct RunOptions {
    // Read the text as if one line feed followed it, as a document's last line must end: the
    // same result as appending one, without copying the text to do so.
    bool implied_line_end = false;
    // Lets a long run be stopped between statements (see RunInterruption).
    RunInterruption* interruption = nullptr;
    // Sees every statement that runs (none when null).
    RunObserver* observer = nullptr;
    // Run as if the document began with !steps.
    bool steps = false;
    OptIns opt_ins = {};
};

// A finished LaTeX document in consecutive pieces, so that a caller can copy it elsewhere piece by
// piece, freeing each as it goes, and never hold two whole copies.
struct DocumentPieces {
    std::vector<std::string> pieces;

    std::size_t size() const;
    std::string joined() &&;
};

// Runs one calculation document and returns the finished LaTeX document or the first error.
// Internal faults surface as InternalError.
Result<DocumentPieces> run_document_pieces(std::string_view text, const RunOptions& options = {});

// The same, with the document in one string.
Result<std::string> run_document(std::string_view text, const RunOptions& options = {});

}  // namespace mensurator
