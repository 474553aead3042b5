#pragma once

#include <string_view>

#include "run/run_document.hpp"
#include "run/statement_record.hpp"

namespace mensurator {

// Every problem of a document in one pass: its errors and its warnings. The error that
// run_document reports for the document comes first; every other problem follows in document
// order. After a failing statement the next one is run; after a parse failure matching goes on at
// the next line start. A name whose definition failed stays defined-but-unknown: the first later
// statement that uses it is reported once as depending on it, and none of those statements run.
// `options.observer` is ignored.
Problems diagnose_document(std::string_view text, const RunOptions& options = {});

}  // namespace mensurator
