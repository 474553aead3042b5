// The Python extension module: one function, run_mensurator(inp), over the core's run entry.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <atomic>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <string_view>

#include "run/run_document.hpp"

namespace {

// Both exception classes are created on first use and live for the rest of the process. Runs
// happen without the interpreter lock, so two threads may fail at once: each may build a class,
// but only the first one published is ever raised, and the other is dropped.
std::atomic<PyObject*> mensurator_exception{nullptr};
std::atomic<PyObject*> internal_error{nullptr};

PyObject* exception_class(std::atomic<PyObject*>& slot, const char* qualified_name,
                          PyObject* base) {
    if (PyObject* existing = slot.load(std::memory_order_acquire)) return existing;
    PyObject* created = PyErr_NewException(qualified_name, base, nullptr);
    if (created == nullptr) return nullptr;
    PyObject* expected = nullptr;
    if (slot.compare_exchange_strong(expected, created, std::memory_order_acq_rel)) return created;
    Py_DECREF(created);
    return expected;
}

PyObject* raise(std::atomic<PyObject*>& slot, const char* qualified_name, PyObject* base,
                const std::string& message) {
    PyObject* type = exception_class(slot, qualified_name, base);
    if (type == nullptr) return nullptr;
    PyObject* text =
        PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace");
    if (text == nullptr) return nullptr;
    PyErr_SetObject(type, text);
    Py_DECREF(text);
    return nullptr;
}

// A fault of the engine itself: derived from BaseException so that `except Exception` in user
// code does not swallow it.
PyObject* raise_internal(const std::string& message) {
    return raise(internal_error, "m.MensuratorInternalError", PyExc_BaseException,
                 message.empty() ? "internal error in mensurator" : message);
}

// Documents shorter than this run with the interpreter lock held: they take a few microseconds,
// and giving the lock away costs a thread that has to wait for it back far more than that.
constexpr std::size_t lock_release_threshold = 4 * 1024;

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

class SignalInterruption final : public mensurator::RunInterruption {
  public:
    explicit SignalInterruption(ReleasedInterpreterLock& lock) : lock_(lock) {}
    bool interrupted() override { return lock_.signal_raised(); }

  private:
    ReleasedInterpreterLock& lock_;
};

// Runs the caller's text in place: the engine reads it as ending with the line feed a document
// needs, and the interpreter keeps the string alive for the call.
mensurator::Result<mensurator::DocumentPieces> run(std::string_view text) {
    if (text.size() < lock_release_threshold) {
        return mensurator::run_document_pieces(text, {.implied_line_end = true});
    }
    ReleasedInterpreterLock released;
    SignalInterruption interruption(released);
    return mensurator::run_document_pieces(
        text, {.implied_line_end = true, .interruption = &interruption});
}

// glibc keeps freed blocks below its mmap threshold in its heap instead of giving them back, and
// the threshold grows to the largest block the process has freed (reading a large file raises it
// to the file's size). Without this a large run's tables and output pieces, freed, would stay
// resident under the result string made next. Other C libraries give memory back by themselves.
void give_back_freed_memory() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

bool is_ascii(const std::string& text) {
    unsigned char seen = 0;
    for (const char c : text) seen |= static_cast<unsigned char>(c);
    return seen < 0x80;
}

// The document as a Python string. An ASCII document, the usual one, is copied piece by piece
// into a string made for it, each piece freed once copied, so that the document is never held
// twice over; any other is joined and decoded.
PyObject* to_python(mensurator::DocumentPieces& document) {
    bool ascii = true;
    for (const std::string& piece : document.pieces) ascii = ascii && is_ascii(piece);
    if (!ascii) {
        const std::string whole = std::move(document).joined();
        return PyUnicode_DecodeUTF8(whole.data(), static_cast<Py_ssize_t>(whole.size()), "replace");
    }
    // A document of one piece is small; for a larger one, the run's tables are already freed.
    const bool large = document.pieces.size() > 1;
    if (large) give_back_freed_memory();
    PyObject* result = PyUnicode_New(static_cast<Py_ssize_t>(document.size()), 127);
    if (result == nullptr) return nullptr;
    auto* out = static_cast<char*>(PyUnicode_DATA(result));
    for (std::string& piece : document.pieces) {
        std::memcpy(out, piece.data(), piece.size());
        out += piece.size();
        std::string().swap(piece);  // frees it: assigning an empty string would keep its buffer
        if (large) give_back_freed_memory();
    }
    return result;
}

PyObject* run_mensurator(PyObject*, PyObject* args, PyObject* kwargs) {
    static const char* keywords[] = {"inp", nullptr};
    PyObject* inp = nullptr;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "U:run_mensurator", const_cast<char**>(keywords),
                                     &inp)) {
        return nullptr;
    }
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(inp, &size);
    if (utf8 == nullptr) return nullptr;

    try {
        mensurator::Result<mensurator::DocumentPieces> document =
            run(std::string_view(utf8, static_cast<std::size_t>(size)));
        if (!document) {
            return raise(mensurator_exception, "m.MensuratorException", PyExc_Exception,
                         document.error().display());
        }
        return to_python(*document);
    } catch (const mensurator::RunInterrupted&) {
        return nullptr;  // the signal handler's exception is set
    } catch (const std::bad_alloc&) {
        return PyErr_NoMemory();
    } catch (const std::exception& fault) {
        return raise_internal(fault.what());
    } catch (...) {
        return raise_internal("");
    }
}

PyMethodDef methods[] = {
    {"run_mensurator", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(run_mensurator)),
     METH_VARARGS | METH_KEYWORDS,
     "run_mensurator(inp)\n--\n\nRender a calculation document as a LaTeX document."},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT, "mensurator_py", "", -1, methods, nullptr, nullptr, nullptr, nullptr,
};

}  // namespace

PyMODINIT_FUNC PyInit_mensurator_py() {
    PyObject* module = PyModule_Create(&module_definition);
    if (module == nullptr) return nullptr;
    PyObject* all = Py_BuildValue("[s]", "run_mensurator");
    if (all == nullptr || PyModule_AddObject(module, "__all__", all) < 0) {
        Py_XDECREF(all);
        Py_DECREF(module);
        return nullptr;
    }
#ifdef Py_GIL_DISABLED
    // Runs share nothing but the exception classes, which are published atomically.
    PyUnstable_Module_SetGIL(module, Py_MOD_GIL_NOT_USED);
#endif
    return module;
}
