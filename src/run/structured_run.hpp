#pragma once

#include <string_view>
#include <vector>

#include "base/error.hpp"
#include "run/run_document.hpp"
#include "run/statement_record.hpp"

namespace mensurator {

// A finished run with what each statement did and what the document may not mean. The records'
// spans are of the joined LaTeX document and of the source text.
struct StructuredRun {
    DocumentPieces latex;
    std::vector<StatementRecord> statements;
    Problems warnings;
};

// Runs the document as run_document_pieces does, with the same output and errors, recording
// every statement and the warnings. `options.observer` is the recorder's own and is ignored.
Result<StructuredRun> run_structured(std::string_view text, RunOptions options = {});

}  // namespace mensurator
