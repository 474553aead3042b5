// The companion package's native module, mensurator._engine: a document's run with what every
// statement did, and every problem of a document in one pass. The core computes; this only
// converts.

#include <array>
#include <atomic>
#include <optional>
#include <string>
#include <string_view>

#include "engine_call.hpp"
#include "run/diagnose.hpp"
#include "run/structured_run.hpp"

namespace {

using namespace mensurator::binding;
using mensurator::DocumentProblem;
using mensurator::Problems;
using mensurator::StatementKind;
using mensurator::StatementRecord;

// The result types: read-only records, made when the module is imported.
PyTypeObject* run_result_type = nullptr;
PyTypeObject* statement_type = nullptr;
PyTypeObject* value_type = nullptr;
PyTypeObject* problem_type = nullptr;

PyStructSequence_Field run_result_fields[] = {
    {"latex", "the LaTeX document, as run_mensurator returns it"},
    {"statements", "what each statement did, in document order"},
    {"warnings", "what the document may not mean, in document order"},
    {nullptr, nullptr},
};
PyStructSequence_Field statement_fields[] = {
    {"first_line", nullptr}, {"last_line", nullptr},  {"kind", nullptr},
    {"name", nullptr},       {"expression", nullptr}, {"hint", nullptr},
    {"value", nullptr},      {"printed", nullptr},    {nullptr, nullptr},
};
PyStructSequence_Field value_fields[] = {
    {"number", "the quantity in base units"},
    {"mantissa", "the engine's own number"},
    {"exp10", nullptr},
    {"factor", nullptr},
    {"exponents", "(numerator, denominator) per base unit: m, g, s, A, K, mol, cd"},
    {nullptr, nullptr},
};
PyStructSequence_Field problem_fields[] = {
    {"severity", nullptr},   {"code", nullptr},    {"line", nullptr}, {"column", nullptr},
    {"end_column", nullptr}, {"message", nullptr}, {"name", nullptr}, {nullptr, nullptr},
};

PyStructSequence_Desc run_result_desc = {"mensurator._engine.RunResult", nullptr, run_result_fields,
                                         3};
PyStructSequence_Desc statement_desc = {"mensurator._engine.Statement", nullptr, statement_fields,
                                        8};
PyStructSequence_Desc value_desc = {"mensurator._engine.Value", nullptr, value_fields, 5};
PyStructSequence_Desc problem_desc = {"mensurator._engine.Problem", nullptr, problem_fields, 7};

// ---- conversions; each returns a new reference or null with the exception set ----

PyObject* to_python(std::string_view text) {
    return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace");
}

PyObject* to_python(const std::optional<std::string>& text) {
    if (!text) Py_RETURN_NONE;
    return to_python(std::string_view(*text));
}

PyObject* to_python(const std::optional<std::size_t>& number) {
    if (!number) Py_RETURN_NONE;
    return PyLong_FromSize_t(*number);
}

// Fills a record from new references, dropping them all when one is null.
template <std::size_t N>
PyObject* record(PyTypeObject* type, const std::array<PyObject*, N>& items) {
    PyObject* result = nullptr;
    bool complete = true;
    for (PyObject* item : items) complete = complete && item != nullptr;
    if (complete) result = PyStructSequence_New(type);
    if (result == nullptr) {
        for (PyObject* item : items) Py_XDECREF(item);
        return nullptr;
    }
    for (std::size_t i = 0; i < N; ++i) {
        PyStructSequence_SetItem(result, static_cast<Py_ssize_t>(i), items[i]);
    }
    return result;
}

PyObject* exponents_to_python(const mensurator::Unit& unit) {
    PyObject* pairs = PyTuple_New(mensurator::base_unit_count);
    if (pairs == nullptr) return nullptr;
    for (std::size_t i = 0; i < mensurator::base_unit_count; ++i) {
        const mensurator::Rational8 exponent = unit.dimensions[i];
        PyObject* pair = Py_BuildValue("(ii)", int{exponent.numerator}, int{exponent.denominator});
        if (pair == nullptr) {
            Py_DECREF(pairs);
            return nullptr;
        }
        PyTuple_SET_ITEM(pairs, static_cast<Py_ssize_t>(i), pair);
    }
    return pairs;
}

PyObject* to_python(const std::optional<mensurator::Value>& value) {
    if (!value) Py_RETURN_NONE;
    return record<5>(value_type,
                     {PyFloat_FromDouble(mensurator::to_plain_number(*value)),
                      PyFloat_FromDouble(value->number), PyLong_FromLongLong(value->unit.exp10),
                      PyFloat_FromDouble(value->unit.factor), exponents_to_python(value->unit)});
}

const char* kind_name(StatementKind kind) {
    switch (kind) {
        case StatementKind::definition:
            return "definition";
        case StatementKind::print:
            return "print";
        case StatementKind::definition_print:
            return "definition_print";
        case StatementKind::alias:
            return "alias";
        case StatementKind::digits:
            return "digits";
        case StatementKind::scientific:
            return "scientific";
        case StatementKind::latex:
            return "latex";
        case StatementKind::gap:
            return "gap";
    }
    return "gap";
}

PyObject* to_python(const StatementRecord& statement) {
    return record<8>(statement_type,
                     {PyLong_FromUnsignedLongLong(statement.first_line),
                      PyLong_FromUnsignedLongLong(statement.last_line),
                      PyUnicode_FromString(kind_name(statement.kind)), to_python(statement.name),
                      to_python(statement.expression), to_python(statement.hint),
                      to_python(statement.value), to_python(statement.printed)});
}

PyObject* to_python(const DocumentProblem& problem) {
    const char* severity = problem.severity == mensurator::Severity::error ? "error" : "warning";
    return record<7>(problem_type,
                     {PyUnicode_FromString(severity), to_python(std::string_view(problem.code)),
                      PyLong_FromUnsignedLongLong(problem.line), to_python(problem.column),
                      to_python(problem.end_column), to_python(std::string_view(problem.message)),
                      to_python(problem.name)});
}

template <class Item>
PyObject* tuple_to_python(const std::vector<Item>& items) {
    PyObject* tuple = PyTuple_New(static_cast<Py_ssize_t>(items.size()));
    if (tuple == nullptr) return nullptr;
    for (std::size_t i = 0; i < items.size(); ++i) {
        PyObject* item = to_python(items[i]);
        if (item == nullptr) {
            Py_DECREF(tuple);
            return nullptr;
        }
        PyTuple_SET_ITEM(tuple, static_cast<Py_ssize_t>(i), item);
    }
    return tuple;
}

// ---- the document exception ----

// The class run_mensurator raises for a failed document, so that one `except` catches the
// failures of both modules. That module makes it on its first failure and does not export it;
// an empty document, which always fails, provokes it once.
std::atomic<PyObject*> document_exception{nullptr};

PyObject* document_exception_class() {
    if (PyObject* known = document_exception.load(std::memory_order_acquire)) return known;
    PyObject* module = PyImport_ImportModule("mensurator_py");
    if (module == nullptr) return nullptr;
    PyObject* result = PyObject_CallMethod(module, "run_mensurator", "s", "");
    Py_DECREF(module);
    if (result != nullptr) {
        Py_DECREF(result);
        PyErr_SetString(PyExc_RuntimeError, "run_mensurator accepted an empty document");
        return nullptr;
    }
#if PY_VERSION_HEX >= 0x030C0000
    PyObject* raised = PyErr_GetRaisedException();
    if (raised == nullptr) return nullptr;
    PyObject* type = Py_NewRef(reinterpret_cast<PyObject*>(Py_TYPE(raised)));
    Py_DECREF(raised);
#else
    PyObject* type = nullptr;
    PyObject* value = nullptr;
    PyObject* traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    Py_XDECREF(value);
    Py_XDECREF(traceback);
    if (type == nullptr) return nullptr;
#endif
    PyObject* expected = nullptr;
    // The class is kept for the rest of the process; a second thread's copy is the same object.
    if (!document_exception.compare_exchange_strong(expected, type, std::memory_order_acq_rel)) {
        Py_DECREF(type);
        return expected;
    }
    return type;
}

// ---- the functions ----

bool document_text(PyObject* args, PyObject* kwargs, const char* format, std::string_view& text) {
    static const char* keywords[] = {"text", nullptr};
    PyObject* argument = nullptr;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, format, const_cast<char**>(keywords),
                                     &argument)) {
        return false;
    }
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(argument, &size);
    if (utf8 == nullptr) return false;
    text = std::string_view(utf8, static_cast<std::size_t>(size));
    return true;
}

PyObject* run(PyObject*, PyObject* args, PyObject* kwargs) {
    std::string_view text;
    if (!document_text(args, kwargs, "U:run", text)) return nullptr;
    return guarded([&]() -> PyObject* {
        mensurator::Result<mensurator::StructuredRun> result =
            run_engine(text, [](std::string_view document, const mensurator::RunOptions& options) {
                return mensurator::run_structured(document, options);
            });
        if (!result) {
            PyObject* type = document_exception_class();
            if (type == nullptr) return nullptr;
            return raise_with(type, result.error().display());
        }
        // The records first: the LaTeX, copied last, frees its pieces as it goes.
        PyObject* statements = tuple_to_python(result->statements);
        PyObject* warnings = statements ? tuple_to_python(result->warnings) : nullptr;
        PyObject* latex = warnings ? document_to_python(result->latex) : nullptr;
        return record<3>(run_result_type, {latex, statements, warnings});
    });
}

PyObject* diagnose(PyObject*, PyObject* args, PyObject* kwargs) {
    std::string_view text;
    if (!document_text(args, kwargs, "U:diagnose", text)) return nullptr;
    return guarded([&]() -> PyObject* {
        const Problems problems =
            run_engine(text, [](std::string_view document, const mensurator::RunOptions& options) {
                return mensurator::diagnose_document(document, options);
            });
        return tuple_to_python(problems);
    });
}

PyMethodDef methods[] = {
    {"run", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(run)),
     METH_VARARGS | METH_KEYWORDS,
     "run(text)\n--\n\nRun a calculation document: its LaTeX, statements and warnings."},
    {"diagnose", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(diagnose)),
     METH_VARARGS | METH_KEYWORDS,
     "diagnose(text)\n--\n\nEvery problem of a calculation document, errors and warnings."},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "mensurator._engine",
    "",
    -1,
    methods,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

bool add_type(PyObject* module, PyTypeObject*& slot, PyStructSequence_Desc& desc,
              const char* name) {
    slot = PyStructSequence_NewType(&desc);
    if (slot == nullptr) return false;
    Py_INCREF(slot);
    if (PyModule_AddObject(module, name, reinterpret_cast<PyObject*>(slot)) < 0) {
        Py_DECREF(slot);
        return false;
    }
    return true;
}

}  // namespace

PyMODINIT_FUNC PyInit__engine() {
    PyObject* module = PyModule_Create(&module_definition);
    if (module == nullptr) return nullptr;
    if (!add_type(module, run_result_type, run_result_desc, "RunResult") ||
        !add_type(module, statement_type, statement_desc, "Statement") ||
        !add_type(module, value_type, value_desc, "Value") ||
        !add_type(module, problem_type, problem_desc, "Problem")) {
        Py_DECREF(module);
        return nullptr;
    }
#ifdef Py_GIL_DISABLED
    // Runs share nothing but the exception classes, which are published atomically.
    PyUnstable_Module_SetGIL(module, Py_MOD_GIL_NOT_USED);
#endif
    return module;
}
