// What both extension modules share: running the engine with the interpreter lock released and
// signals polled, and turning the engine's faults into Python exceptions.

#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <atomic>
#include <exception>
#include <new>
#include <string>
#include <string_view>

#include "run/run_document.hpp"

namespace mensurator::binding {

// The class made on first use, published atomically: runs happen without the interpreter lock,
// so two threads may fail at once; each may build a class, but only the first one published is
// ever raised, and the other is dropped.
PyObject* exception_class(std::atomic<PyObject*>& slot, const char* qualified_name, PyObject* base);

// The last step of both modules' initialisation: they declare that they run without the
// interpreter lock on a free-threaded build. Returns `module`.
PyObject* finish_module(PyObject* module);

// Raises `type` with the message; returns null.
PyObject* raise_with(PyObject* type, const std::string& message);

// A fault of the engine itself: derived from BaseException so that `except Exception` in user
// code does not swallow it.
PyObject* raise_internal(const std::string& message);

// Documents shorter than this run with the interpreter lock held: they take a few microseconds,
// and giving the lock away costs a thread that has to wait for it back far more than that.
inline constexpr std::size_t lock_release_threshold = 4 * 1024;

// Lets other Python threads run while the engine works, and takes the lock back, also when the
// run ends by an exception.
class ReleasedInterpreterLock {
  public:
    ReleasedInterpreterLock() : state_(PyEval_SaveThread()) {}
    ReleasedInterpreterLock(const ReleasedInterpreterLock&) = delete;
    ReleasedInterpreterLock& operator=(const ReleasedInterpreterLock&) = delete;
    ~ReleasedInterpreterLock() { PyEval_RestoreThread(state_); }

    // Runs the interpreter's pending signal handlers (Ctrl-C among them) with the lock taken
    // back for the moment; true when one raised, whose exception is then set.
    bool signal_raised() {
        PyEval_RestoreThread(state_);
        const bool raised = PyErr_CheckSignals() != 0;
        state_ = PyEval_SaveThread();
        return raised;
    }

  private:
    PyThreadState* state_;
};

class SignalInterruption final : public RunInterruption {
  public:
    explicit SignalInterruption(ReleasedInterpreterLock& lock) : lock_(lock) {}
    bool interrupted() override { return lock_.signal_raised(); }

  private:
    ReleasedInterpreterLock& lock_;
};

// Calls `engine(text, options)` over the caller's text in place: the engine reads it as ending with
// the line feed a document needs, and the interpreter keeps the string alive for the call. A long
// text runs without the interpreter lock, polling for signals.
template <class Engine>
auto run_engine(std::string_view text, Engine&& engine, OptIns opt_ins = {}) {
    if (text.size() < lock_release_threshold) {
        return engine(text, RunOptions{.implied_line_end = true, .opt_ins = opt_ins});
    }
    ReleasedInterpreterLock released;
    SignalInterruption interruption(released);
    return engine(
        text,
        RunOptions{.implied_line_end = true, .interruption = &interruption, .opt_ins = opt_ins});
}

// The result of `step`, or null with the Python exception for what it threw: the signal
// handler's for an interruption, MemoryError, or an internal error.
template <class Step>
PyObject* guarded(Step&& step) {
    try {
        return step();
    } catch (const RunInterrupted&) {
        return nullptr;  // the signal handler's exception is set
    } catch (const std::bad_alloc&) {
        return PyErr_NoMemory();
    } catch (const std::exception& fault) {
        return raise_internal(fault.what());
    } catch (...) {
        return raise_internal("");
    }
}

// A finished document as a Python string, freeing its pieces as they are copied.
PyObject* document_to_python(DocumentPieces& document);

}  // namespace mensurator::binding
