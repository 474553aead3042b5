// The companion package's native module, mensurator._engine: a document's run with what every
// statement did, and every problem of a document in one pass. The core computes; this only
// converts.

#include <array>
#include <atomic>
#include <cstddef>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine_call.hpp"
// After Python.h, which engine_call.hpp includes.
#include <structmember.h>

#include "eval/function_table.hpp"
#include "mathml/display_mathml.hpp"
#include "quantity/unit_table.hpp"
#include "run/diagnose.hpp"
#include "run/structured_run.hpp"
#include "syntax/opt_in_directive.hpp"

namespace {

using namespace mensurator::binding;
using mensurator::DocumentProblem;
using mensurator::Problems;
using mensurator::StatementKind;
using mensurator::StatementRecord;

// The record types: read-only, made when the module is imported.
PyTypeObject* statement_type = nullptr;
PyTypeObject* value_type = nullptr;
PyTypeObject* problem_type = nullptr;

PyStructSequence_Field statement_fields[] = {
    {"first_line", nullptr}, {"last_line", nullptr}, {"kind", nullptr},  {"name", nullptr},
    {"expression", nullptr}, {"hint", nullptr},      {"value", nullptr}, {"printed", nullptr},
    {"check", nullptr},      {nullptr, nullptr},
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

PyStructSequence_Desc statement_desc = {"mensurator._engine.Statement", nullptr, statement_fields,
                                        9};
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

PyObject* new_exponents(const mensurator::Unit& unit) {
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

// The exponent tuples of one conversion by dimensions: a document uses few units, so its values
// share a handful of (immutable) tuples instead of building eight objects each.
class ExponentTuples {
  public:
    ExponentTuples() = default;
    ExponentTuples(const ExponentTuples&) = delete;
    ExponentTuples& operator=(const ExponentTuples&) = delete;
    ~ExponentTuples() {
        for (const Entry& entry : entries_) Py_DECREF(entry.tuple);
    }

    PyObject* get(const mensurator::Unit& unit) {
        for (const Entry& entry : entries_) {
            if (entry.dimensions == unit.dimensions) return Py_NewRef(entry.tuple);
        }
        PyObject* tuple = new_exponents(unit);
        if (tuple == nullptr || entries_.size() >= max_entries) return tuple;
        entries_.push_back({unit.dimensions, Py_NewRef(tuple)});
        return tuple;
    }

  private:
    static constexpr std::size_t max_entries = 64;
    struct Entry {
        std::array<mensurator::Rational8, mensurator::base_unit_count> dimensions;
        PyObject* tuple;
    };
    std::vector<Entry> entries_;
};

// What one conversion reads and reuses: the texts the records' spans are of.
struct Conversion {
    std::string_view latex;
    std::string_view source;
    ExponentTuples exponents;
};

PyObject* to_python(const std::optional<mensurator::TextSpan>& span, std::string_view text) {
    if (!span) Py_RETURN_NONE;
    return to_python(span->of(text));
}

PyObject* to_python(const std::optional<mensurator::Value>& value, Conversion& conversion) {
    if (!value) Py_RETURN_NONE;
    return record<5>(
        value_type,
        {PyFloat_FromDouble(mensurator::to_plain_number(*value)), PyFloat_FromDouble(value->number),
         PyLong_FromLongLong(value->unit.exp10), PyFloat_FromDouble(value->unit.factor),
         conversion.exponents.get(value->unit)});
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
        case StatementKind::opt_in:
            return "opt_in";
        case StatementKind::latex:
            return "latex";
        case StatementKind::gap:
            return "gap";
        case StatementKind::check:
            return "check";
        case StatementKind::steps:
            return "steps";
    }
    return "gap";
}

// The kinds' names, made once.
std::array<PyObject*, 11> kind_names{};

// A check's verdict as (relation, passed, left value, right value).
PyObject* to_python(const std::unique_ptr<const mensurator::CheckVerdict>& check,
                    Conversion& conversion) {
    if (!check) Py_RETURN_NONE;
    const std::string_view relation = mensurator::relation_text(check->relation);
    PyObject* items[] = {to_python(relation), PyBool_FromLong(check->passed ? 1 : 0),
                         to_python(std::optional<mensurator::Value>(check->left), conversion),
                         to_python(std::optional<mensurator::Value>(check->right), conversion)};
    PyObject* tuple = nullptr;
    bool complete = true;
    for (PyObject* item : items) complete = complete && item != nullptr;
    if (complete) tuple = PyTuple_New(4);
    if (tuple == nullptr) {
        for (PyObject* item : items) Py_XDECREF(item);
        return nullptr;
    }
    for (Py_ssize_t i = 0; i < 4; ++i) PyTuple_SET_ITEM(tuple, i, items[i]);
    return tuple;
}

PyObject* to_python(const StatementRecord& statement, Conversion& conversion) {
    PyObject* kind = kind_names[static_cast<std::size_t>(statement.kind)];
    return record<9>(
        statement_type,
        {PyLong_FromUnsignedLongLong(statement.first_line),
         PyLong_FromUnsignedLongLong(statement.last_line), Py_NewRef(kind),
         to_python(statement.name), to_python(statement.expression, conversion.latex),
         to_python(statement.hint, conversion.source), to_python(statement.value, conversion),
         to_python(statement.printed, conversion.latex), to_python(statement.check, conversion)});
}

PyObject* to_python(const DocumentProblem& problem, Conversion&) {
    const char* severity = problem.severity == mensurator::Severity::error ? "error" : "warning";
    return record<7>(problem_type,
                     {PyUnicode_FromString(severity), to_python(std::string_view(problem.code)),
                      PyLong_FromUnsignedLongLong(problem.line), to_python(problem.column),
                      to_python(problem.end_column), to_python(std::string_view(problem.message)),
                      to_python(problem.name)});
}

template <class Item>
PyObject* tuple_to_python(const std::vector<Item>& items, Conversion& conversion) {
    PyObject* tuple = PyTuple_New(static_cast<Py_ssize_t>(items.size()));
    if (tuple == nullptr) return nullptr;
    for (std::size_t i = 0; i < items.size(); ++i) {
        PyObject* item = to_python(items[i], conversion);
        if (item == nullptr) {
            Py_DECREF(tuple);
            return nullptr;
        }
        PyTuple_SET_ITEM(tuple, static_cast<Py_ssize_t>(i), item);
    }
    return tuple;
}

// ---- the statements of a run, made into records as they are read ----

// The tp_new of the types only a run makes: one made from Python would hold no run, and reading
// it would read memory never set.
PyObject* made_by_runs_only(PyTypeObject* type, PyObject*, PyObject*) {
    PyErr_Format(PyExc_TypeError, "cannot create '%s' instances", type->tp_name);
    return nullptr;
}

// A run's statements: a read-only sequence that holds the engine's records and makes the Python
// record of one only when it is read, so that a run whose statements are never looked at costs
// little more than run_mensurator.
struct StatementsObject {
    PyObject ob_base;
    std::vector<StatementRecord> records;  // made in place: one allocation fewer a run
    PyObject* latex;                       // the str the spans of the LaTeX are of
    PyObject* source;                      // the document's str, which hints are spans of
};

PyTypeObject* statements_type = nullptr;

void statements_dealloc(PyObject* self) {
    auto* statements = reinterpret_cast<StatementsObject*>(self);
    statements->records.~vector();
    Py_XDECREF(statements->latex);
    Py_XDECREF(statements->source);
    PyTypeObject* type = Py_TYPE(self);
    type->tp_free(self);
    Py_DECREF(type);
}

Py_ssize_t statements_length(PyObject* self) {
    return static_cast<Py_ssize_t>(reinterpret_cast<StatementsObject*>(self)->records.size());
}

PyObject* statements_item(PyObject* self, Py_ssize_t index) {
    auto* statements = reinterpret_cast<StatementsObject*>(self);
    const std::vector<StatementRecord>& records = statements->records;
    if (index < 0 || static_cast<std::size_t>(index) >= records.size()) {
        PyErr_SetString(PyExc_IndexError, "statement index out of range");
        return nullptr;
    }
    // Both are strs whose UTF-8 form the spans index: an ASCII str's own data, or its cached
    // UTF-8 copy.
    Py_ssize_t latex_size = 0;
    Py_ssize_t source_size = 0;
    const char* latex = PyUnicode_AsUTF8AndSize(statements->latex, &latex_size);
    const char* source = PyUnicode_AsUTF8AndSize(statements->source, &source_size);
    if (latex == nullptr || source == nullptr) return nullptr;
    return guarded([&] {
        Conversion conversion;
        conversion.latex = std::string_view(latex, static_cast<std::size_t>(latex_size));
        conversion.source = std::string_view(source, static_cast<std::size_t>(source_size));
        return to_python(records[static_cast<std::size_t>(index)], conversion);
    });
}

// An index (negative ones from the end) or a slice, which gives a tuple.
PyObject* statements_subscript(PyObject* self, PyObject* key) {
    const Py_ssize_t length = statements_length(self);
    if (PySlice_Check(key)) {
        Py_ssize_t start = 0;
        Py_ssize_t stop = 0;
        Py_ssize_t step = 0;
        if (PySlice_Unpack(key, &start, &stop, &step) < 0) return nullptr;
        const Py_ssize_t count = PySlice_AdjustIndices(length, &start, &stop, step);
        PyObject* tuple = PyTuple_New(count);
        if (tuple == nullptr) return nullptr;
        for (Py_ssize_t i = 0; i < count; ++i) {
            PyObject* item = statements_item(self, start + i * step);
            if (item == nullptr) {
                Py_DECREF(tuple);
                return nullptr;
            }
            PyTuple_SET_ITEM(tuple, i, item);
        }
        return tuple;
    }
    Py_ssize_t index = PyNumber_AsSsize_t(key, PyExc_IndexError);
    if (index == -1 && PyErr_Occurred()) return nullptr;
    if (index < 0) index += length;
    return statements_item(self, index);
}

PyType_Slot statements_slots[] = {
    {Py_tp_dealloc, reinterpret_cast<void*>(statements_dealloc)},
    {Py_tp_new, reinterpret_cast<void*>(made_by_runs_only)},
    {Py_sq_length, reinterpret_cast<void*>(statements_length)},
    {Py_sq_item, reinterpret_cast<void*>(statements_item)},
    {Py_mp_length, reinterpret_cast<void*>(statements_length)},
    {Py_mp_subscript, reinterpret_cast<void*>(statements_subscript)},
    {Py_tp_doc, const_cast<char*>("The statements of a run, in document order.")},
    {0, nullptr},
};

PyType_Spec statements_type_layout = {"mensurator._engine.Statements", sizeof(StatementsObject), 0,
                                      Py_TPFLAGS_DEFAULT, statements_slots};

// Takes the records over, with new references to the texts they are spans of; null with the
// exception set when the object cannot be made.
PyObject* statements_to_python(std::vector<StatementRecord>&& records, PyObject* latex,
                               PyObject* source) {
    auto* self = PyObject_New(StatementsObject, statements_type);
    if (self == nullptr) return nullptr;
    new (&self->records) std::vector<StatementRecord>(std::move(records));
    self->latex = Py_NewRef(latex);
    self->source = Py_NewRef(source);
    return reinterpret_cast<PyObject*>(self);
}

// ---- the result of a run ----

// Three read-only attributes. A plain object rather than a struct sequence, which looks its
// size up in the type's dictionary on every creation and destruction; it holds no container the
// caller could make a cycle through, so it is not tracked by the garbage collector either.
struct RunResultObject {
    PyObject ob_base;
    PyObject* latex;
    PyObject* statements;
    PyObject* warnings;
};

PyTypeObject* run_result_type = nullptr;

void run_result_dealloc(PyObject* self) {
    auto* result = reinterpret_cast<RunResultObject*>(self);
    Py_XDECREF(result->latex);
    Py_XDECREF(result->statements);
    Py_XDECREF(result->warnings);
    PyTypeObject* type = Py_TYPE(self);
    type->tp_free(self);
    Py_DECREF(type);
}

PyMemberDef run_result_members[] = {
    {"latex", T_OBJECT_EX, offsetof(RunResultObject, latex), READONLY,
     "the LaTeX document, as run_mensurator returns it"},
    {"statements", T_OBJECT_EX, offsetof(RunResultObject, statements), READONLY,
     "what each statement did, in document order"},
    {"warnings", T_OBJECT_EX, offsetof(RunResultObject, warnings), READONLY,
     "what the document may not mean, in document order"},
    {nullptr, 0, 0, 0, nullptr},
};

PyType_Slot run_result_slots[] = {
    {Py_tp_dealloc, reinterpret_cast<void*>(run_result_dealloc)},
    {Py_tp_new, reinterpret_cast<void*>(made_by_runs_only)},
    {Py_tp_members, run_result_members},
    {Py_tp_doc, const_cast<char*>("A document's run: its LaTeX, statements and warnings.")},
    {0, nullptr},
};

PyType_Spec run_result_type_layout = {"mensurator._engine.RunResult", sizeof(RunResultObject), 0,
                                      Py_TPFLAGS_DEFAULT, run_result_slots};

// Takes the three new references over, dropping them all when one is null.
PyObject* run_result_to_python(PyObject* latex, PyObject* statements, PyObject* warnings) {
    RunResultObject* self = nullptr;
    if (latex != nullptr && statements != nullptr && warnings != nullptr) {
        self = PyObject_New(RunResultObject, run_result_type);
    }
    if (self == nullptr) {
        Py_XDECREF(latex);
        Py_XDECREF(statements);
        Py_XDECREF(warnings);
        return nullptr;
    }
    self->latex = latex;
    self->statements = statements;
    self->warnings = warnings;
    return reinterpret_cast<PyObject*>(self);
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

// The call's document: its str, that str's UTF-8 form, and the keyword-only opt-ins it starts
// with (sigfigs=0 for none, extended_units, symbols); with `steps`, also the keyword-only flag of
// that name.
bool parsed_document_text(PyObject* args, PyObject* kwargs, const char* format, PyObject*& argument,
                          std::string_view& text, mensurator::OptIns& opt_ins,
                          int* steps = nullptr) {
    static const char* keywords[] = {"text", "sigfigs", "extended_units", "symbols", nullptr};
    static const char* with_steps[] = {"text",    "sigfigs", "extended_units",
                                       "symbols", "steps",   nullptr};
    int sigfigs = 0;
    int extended_units = 0;
    int symbols = 0;
    const bool parsed =
        steps != nullptr
            ? PyArg_ParseTupleAndKeywords(args, kwargs, format, const_cast<char**>(with_steps),
                                          &argument, &sigfigs, &extended_units, &symbols, steps)
            : PyArg_ParseTupleAndKeywords(args, kwargs, format, const_cast<char**>(keywords),
                                          &argument, &sigfigs, &extended_units, &symbols);
    if (!parsed) return false;
    if (sigfigs < 0 || sigfigs > mensurator::max_sigfigs) {
        PyErr_Format(PyExc_ValueError, "sigfigs must be 1 to %d, or 0 for none, not %d",
                     int{mensurator::max_sigfigs}, sigfigs);
        return false;
    }
    opt_ins = {static_cast<std::uint8_t>(sigfigs), extended_units != 0, symbols != 0};
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(argument, &size);
    if (utf8 == nullptr) return false;
    text = std::string_view(utf8, static_cast<std::size_t>(size));
    return true;
}

// The same from a vectorcall's arguments. The usual call, one str, reads it directly: packing
// the arguments into a tuple for the parser costs a few percent of a small document's run.
bool document_text(PyObject* const* args, Py_ssize_t count, PyObject* keyword_names,
                   const char* format, PyObject*& argument, std::string_view& text,
                   mensurator::OptIns& opt_ins, int* steps) {
    if (count == 1 && keyword_names == nullptr && PyUnicode_Check(args[0])) {
        argument = args[0];
        Py_ssize_t size = 0;
        const char* utf8 = PyUnicode_AsUTF8AndSize(argument, &size);
        if (utf8 == nullptr) return false;
        text = std::string_view(utf8, static_cast<std::size_t>(size));
        return true;
    }
    // Anything else goes through the parser for its checks and messages.
    PyObject* positional = PyTuple_New(count);
    if (positional == nullptr) return false;
    for (Py_ssize_t i = 0; i < count; ++i) PyTuple_SET_ITEM(positional, i, Py_NewRef(args[i]));
    PyObject* keywords = nullptr;
    const Py_ssize_t keyword_count = keyword_names ? PyTuple_GET_SIZE(keyword_names) : 0;
    if (keyword_count > 0) {
        keywords = PyDict_New();
        for (Py_ssize_t i = 0; keywords != nullptr && i < keyword_count; ++i) {
            if (PyDict_SetItem(keywords, PyTuple_GET_ITEM(keyword_names, i), args[count + i]) < 0) {
                Py_CLEAR(keywords);
            }
        }
        if (keywords == nullptr) {
            Py_DECREF(positional);
            return false;
        }
    }
    // The argument stays alive through the caller's own references.
    const bool parsed =
        parsed_document_text(positional, keywords, format, argument, text, opt_ins, steps);
    Py_DECREF(positional);
    Py_XDECREF(keywords);
    return parsed;
}

PyObject* run(PyObject*, PyObject* const* args, Py_ssize_t count, PyObject* keyword_names) {
    PyObject* source = nullptr;
    std::string_view text;
    mensurator::OptIns opt_ins;
    int steps = 0;
    if (!document_text(args, count, keyword_names, "U|$ippp:run", source, text, opt_ins, &steps)) {
        return nullptr;
    }
    return guarded([&]() -> PyObject* {
        mensurator::Result<mensurator::StructuredRun> result = run_engine(
            text,
            [steps](std::string_view document, mensurator::RunOptions options) {
                options.steps = steps != 0;
                return mensurator::run_structured(document, options);
            },
            opt_ins);
        if (!result) {
            PyObject* type = document_exception_class();
            if (type == nullptr) return nullptr;
            return raise_with(type, result.error().display());
        }
        // The records keep their spans of the LaTeX and the source, and are made into Python
        // records only when read.
        Conversion conversion;
        PyObject* latex = document_to_python(result->latex);
        PyObject* statements =
            latex ? statements_to_python(std::move(result->statements), latex, source) : nullptr;
        PyObject* warnings = statements ? tuple_to_python(result->warnings, conversion) : nullptr;
        return run_result_to_python(latex, statements, warnings);
    });
}

PyObject* diagnose(PyObject*, PyObject* args, PyObject* kwargs) {
    PyObject* source = nullptr;
    std::string_view text;
    mensurator::OptIns opt_ins;
    if (!parsed_document_text(args, kwargs, "U|$ipp:diagnose", source, text, opt_ins)) {
        return nullptr;
    }
    return guarded([&]() -> PyObject* {
        const Problems problems = run_engine(
            text,
            [](std::string_view document, const mensurator::RunOptions& options) {
                return mensurator::diagnose_document(document, options);
            },
            opt_ins);
        Conversion conversion;
        return tuple_to_python(problems, conversion);
    });
}

// ---- the tables ----

PyObject* unit_to_python(const mensurator::ListedUnit& listed) {
    const std::span<const std::string_view> names = listed.names;
    PyObject* name_tuple = PyTuple_New(static_cast<Py_ssize_t>(names.size()));
    if (name_tuple == nullptr) return nullptr;
    for (std::size_t i = 0; i < names.size(); ++i) {
        PyObject* name = to_python(names[i]);
        if (name == nullptr) {
            Py_DECREF(name_tuple);
            return nullptr;
        }
        PyTuple_SET_ITEM(name_tuple, static_cast<Py_ssize_t>(i), name);
    }
    PyObject* exponents = PyTuple_New(mensurator::base_unit_count);
    for (std::size_t i = 0; exponents != nullptr && i < mensurator::base_unit_count; ++i) {
        const mensurator::Rational8 e = listed.unit.dimensions[i];
        PyObject* pair = Py_BuildValue("(ii)", int{e.numerator}, int{e.denominator});
        if (pair == nullptr) Py_CLEAR(exponents);
        if (exponents != nullptr) PyTuple_SET_ITEM(exponents, static_cast<Py_ssize_t>(i), pair);
    }
    if (exponents == nullptr) {
        Py_DECREF(name_tuple);
        return nullptr;
    }
    const char* table = listed.table == mensurator::UnitTable::specified ? "specified" : "extended";
    const std::string_view printed = listed.printed;
    return Py_BuildValue("(NNLds#s)", name_tuple, exponents,
                         static_cast<long long>(listed.unit.exp10), listed.unit.factor,
                         printed.data(), static_cast<Py_ssize_t>(printed.size()), table);
}

PyObject* tables(PyObject*, PyObject*) {
    return guarded([]() -> PyObject* {
        const std::vector<mensurator::ListedUnit> listed = mensurator::listed_units();
        PyObject* units = PyList_New(0);
        for (const mensurator::ListedUnit& unit : listed) {
            if (units == nullptr) break;
            PyObject* item = unit_to_python(unit);
            if (item == nullptr || PyList_Append(units, item) < 0) Py_CLEAR(units);
            Py_XDECREF(item);
        }
        PyObject* prefixes = units ? PyList_New(0) : nullptr;
        for (const mensurator::PrefixRow& prefix : mensurator::prefix_rows()) {
            if (prefixes == nullptr) break;
            if (prefix.power == 0) continue;
            PyObject* item = Py_BuildValue(
                "(s#s#L)", prefix.word.data(), static_cast<Py_ssize_t>(prefix.word.size()),
                prefix.symbol.data(), static_cast<Py_ssize_t>(prefix.symbol.size()),
                static_cast<long long>(prefix.power));
            if (item == nullptr || PyList_Append(prefixes, item) < 0) Py_CLEAR(prefixes);
            Py_XDECREF(item);
        }
        PyObject* functions = prefixes ? PyList_New(0) : nullptr;
        for (const mensurator::BuiltinFunction& function : mensurator::builtin_function_list()) {
            if (functions == nullptr) break;
            const bool unlimited = function.greatest_arguments == mensurator::unlimited_arguments;
            PyObject* most = unlimited ? Py_NewRef(Py_None)
                                       : PyLong_FromUnsignedLongLong(function.greatest_arguments);
            const bool keeps_unit = function.unit_class == mensurator::UnitClass::unit_keeping;
            PyObject* item =
                most ? Py_BuildValue("(s#KNO)", function.name.data(),
                                     static_cast<Py_ssize_t>(function.name.size()),
                                     static_cast<unsigned long long>(function.least_arguments),
                                     most, keeps_unit ? Py_True : Py_False)
                     : nullptr;
            if (item == nullptr || PyList_Append(functions, item) < 0) Py_CLEAR(functions);
            Py_XDECREF(item);
        }
        if (functions == nullptr) {
            Py_XDECREF(units);
            Py_XDECREF(prefixes);
            return nullptr;
        }
        return Py_BuildValue("(NNN)", units, prefixes, functions);
    });
}

PyObject* display_mathml(PyObject*, PyObject* latex) {
    if (!PyUnicode_Check(latex)) {
        PyErr_SetString(PyExc_TypeError, "display_mathml() argument must be str");
        return nullptr;
    }
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(latex, &size);
    if (utf8 == nullptr) return nullptr;
    return guarded([&]() -> PyObject* {
        return to_python(
            mensurator::display_mathml(std::string_view(utf8, static_cast<std::size_t>(size))));
    });
}

PyMethodDef methods[] = {
    {"run", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(run)),
     METH_FASTCALL | METH_KEYWORDS,
     "run(text, *, sigfigs=0, extended_units=False, symbols=False, steps=False)\n--\n\nRun a "
     "calculation document: its LaTeX, statements and warnings. The options act as the "
     "directives !sigfigs, !units extended, !symbols and !steps on its first line."},
    {"diagnose", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(diagnose)),
     METH_VARARGS | METH_KEYWORDS,
     "diagnose(text, *, sigfigs=0, extended_units=False, symbols=False)\n--\n\nEvery problem "
     "of a calculation document, errors and warnings."},
    {"tables", tables, METH_NOARGS,
     "tables()\n--\n\nThe engine's own tables: (units, prefixes, functions). A unit is (names, "
     "exponents, exp10, factor, printed symbol, 'specified' or 'extended'), a prefix (word, "
     "symbol, power), a function (name, least and most arguments, None for no limit, whether "
     "it keeps its argument's unit)."},
    {"display_mathml", display_mathml, METH_O,
     "display_mathml(latex)\n--\n\nThe display MathML of one of the engine's math lines, its "
     "result marked; None for LaTeX the engine does not write."},
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

// Makes isinstance(statements, collections.abc.Sequence) hold, as it does for a tuple.
bool register_as_sequence(PyObject* type) {
    PyObject* abc = PyImport_ImportModule("collections.abc");
    if (abc == nullptr) return false;
    PyObject* sequence = PyObject_GetAttrString(abc, "Sequence");
    Py_DECREF(abc);
    if (sequence == nullptr) return false;
    PyObject* result = PyObject_CallMethod(sequence, "register", "O", type);
    Py_DECREF(sequence);
    Py_XDECREF(result);
    return result != nullptr;
}

}  // namespace

PyMODINIT_FUNC PyInit__engine() {
    PyObject* module = PyModule_Create(&module_definition);
    if (module == nullptr) return nullptr;
    for (std::size_t i = 0; i < kind_names.size(); ++i) {
        if (kind_names[i] == nullptr) {
            kind_names[i] = PyUnicode_InternFromString(kind_name(static_cast<StatementKind>(i)));
        }
        if (kind_names[i] == nullptr) {
            Py_DECREF(module);
            return nullptr;
        }
    }
    if (!add_type(module, statement_type, statement_desc, "Statement") ||
        !add_type(module, value_type, value_desc, "Value") ||
        !add_type(module, problem_type, problem_desc, "Problem")) {
        Py_DECREF(module);
        return nullptr;
    }
    run_result_type = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&run_result_type_layout));
    if (run_result_type == nullptr ||
        PyModule_AddObject(module, "RunResult", Py_NewRef(run_result_type)) < 0) {
        Py_DECREF(module);
        return nullptr;
    }
    statements_type = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&statements_type_layout));
    if (statements_type == nullptr ||
        PyModule_AddObject(module, "Statements", Py_NewRef(statements_type)) < 0 ||
        !register_as_sequence(reinterpret_cast<PyObject*>(statements_type))) {
        Py_DECREF(module);
        return nullptr;
    }
    return finish_module(module);
}
