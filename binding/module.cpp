// The Python extension module: one function, run_mensurator(inp), over the core's run entry.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <exception>
#include <new>
#include <string>

#include "run/run_document.hpp"

namespace {

// Both exception classes are created on first use and live for the rest of the process.
PyObject* mensurator_exception = nullptr;
PyObject* internal_error = nullptr;

PyObject* exception_class(PyObject*& slot, const char* qualified_name, PyObject* base) {
    if (slot == nullptr) slot = PyErr_NewException(qualified_name, base, nullptr);
    return slot;
}

PyObject* raise(PyObject*& slot, const char* qualified_name, PyObject* base,
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
        std::string text(utf8, static_cast<std::size_t>(size));
        text += '\n';
        const mensurator::Result<std::string> document = mensurator::run_document(text);
        if (!document) {
            return raise(mensurator_exception, "m.MensuratorException", PyExc_Exception,
                         document.error().display());
        }
        return PyUnicode_DecodeUTF8(document->data(), static_cast<Py_ssize_t>(document->size()),
                                    "replace");
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
    return module;
}
