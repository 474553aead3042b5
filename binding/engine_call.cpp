#include "engine_call.hpp"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <cstring>

namespace mensurator::binding {

namespace {

std::atomic<PyObject*> internal_error{nullptr};

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

}  // namespace

PyObject* finish_module(PyObject* module) {
#ifdef Py_GIL_DISABLED
    // Runs share nothing but the exception classes, which are published atomically.
    PyUnstable_Module_SetGIL(module, Py_MOD_GIL_NOT_USED);
#endif
    return module;
}

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

PyObject* raise_with(PyObject* type, const std::string& message) {
    PyObject* text =
        PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace");
    if (text == nullptr) return nullptr;
    PyErr_SetObject(type, text);
    Py_DECREF(text);
    return nullptr;
}

PyObject* raise_internal(const std::string& message) {
    PyObject* type =
        exception_class(internal_error, "m.MensuratorInternalError", PyExc_BaseException);
    if (type == nullptr) return nullptr;
    return raise_with(type, message.empty() ? "internal error in mensurator" : message);
}

// An ASCII document, the usual one, is copied piece by piece into a string made for it, each
// piece freed once copied, so that the document is never held twice over; any other is joined
// and decoded.
PyObject* document_to_python(DocumentPieces& document) {
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

}  // namespace mensurator::binding
