#include "grammar/parse.hpp"

#include <memory>
#include <utility>

#include "grammar/matcher.hpp"

namespace mensurator {

StatementStream::StatementStream(std::string_view text, bool implied_line_end)
    : text_(text), matcher_(std::make_unique<Matcher>(text, implied_line_end)) {}

StatementStream::~StatementStream() = default;

void StatementStream::start() {
    if (started_) return;
    matcher_->begin_program();
    started_ = true;
    first_ = true;
}

std::size_t StatementStream::position() {
    start();
    return matcher_->position();
}

void StatementStream::skip_to(std::size_t next) {
    start();
    matcher_->move_to(next);
    first_ = false;
}

void StatementStream::resume_at(std::size_t position) {
    start();
    matcher_->resume_at(position);
    first_ = false;
    finished_ = false;
}

std::expected<std::optional<ParseNode>, ParseFailure> StatementStream::next() {
    if (finished_) return std::optional<ParseNode>{};
    start();
    const bool first = std::exchange(first_, false);
    // At the end of the text only the first statement can fail; every later one is just absent.
    if (!first && matcher_->at_text_end()) {
        finished_ = true;
        return std::optional<ParseNode>{};
    }
    auto result = matcher_->next_statement(first);
    if (!result || !*result) finished_ = true;
    return result;
}

}  // namespace mensurator
