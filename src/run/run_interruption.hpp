#pragma once

#include <cstddef>

namespace mensurator {

// Lets the caller stop a long run from outside: the run asks `interrupted` about every
// `poll_interval` bytes of input, between statements, and ends by throwing RunInterrupted when
// the answer is yes. What the interruption was is the caller's to report.
class RunInterruption {
  public:
    static constexpr std::size_t poll_interval = 64 * 1024;

    virtual bool interrupted() = 0;

  protected:
    ~RunInterruption() = default;
};

// Thrown out of run_document when the caller's RunInterruption asked it to stop; not an error of
// the document.
struct RunInterrupted {};

}  // namespace mensurator
