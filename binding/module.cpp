// The Python extension module: one function, run_mensurator(inp), over the core's run entry.

#include <atomic>
#include <string_view>

#include "engine_call.hpp"
#include "run/run_document.hpp"

namespace {

using namespace mensurator::binding;

std::atomic<PyObject*> mensurator_exception{nullptr};

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

    return guarded([&]() -> PyObject* {
        mensurator::Result<mensurator::DocumentPieces> document =
            run_engine(std::string_view(utf8, static_cast<std::size_t>(size)),
                       [](std::string_view text, const mensurator::RunOptions& options) {
                           return mensurator::run_document_pieces(text, options);
                       });
        if (!document) {
            PyObject* type =
                exception_class(mensurator_exception, "m.MensuratorException", PyExc_Exception);
            if (type == nullptr) return nullptr;
            return raise_with(type, document.error().display());
        }
        return document_to_python(*document);
    });
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
    return finish_module(module);
}
