"""The extended unit table (``!units extended``): every factor against pint's definition, the
standard table untouched by it, prefixes, refused temperature scales, and no leak of the
extended names into a standard document through the engine's caches."""

import math
from fractions import Fraction

import mensurator
import pytest
from mensurator import DocumentError, _engine

pint = pytest.importorskip("pint")
REGISTRY = pint.UnitRegistry()

# Our name, and the unit in pint's registry it must equal. pint has no reactive power unit (var
# is the volt-ampere of reactive power), and its BTU is the ISO one; NIST SP 811 lists the
# International Table Btu, which is pint's international_british_thermal_unit.
PINT_NAMES = {
    "Hz": "hertz",
    "h": "hour",
    "l": "liter",
    "t": "tonne",
    "Sv": "sievert",
    "Ohm": "ohm",
    "bar": "bar",
    "atm": "standard_atmosphere",
    "eV": "electron_volt",
    "cal": "thermochemical_calorie",
    "Wh": "watt_hour",
    "VA": "volt_ampere",
    "var": "volt * ampere",
    "rpm": "revolutions_per_minute",
    "in": "inch",
    "ft": "foot",
    "yd": "yard",
    "mi": "mile",
    "lb": "pound",
    "lbf": "pound_force",
    "kip": "kip",
    "psi": "psi",
    "ksi": "ksi",
    "psf": "pound_force / foot**2",
    "oz": "ounce",
    "gal": "US_liquid_gallon",
    "hp": "horsepower",
    "BTU": "international_british_thermal_unit",
    "mph": "mile_per_hour",
    "knot": "knot",
}
SI_DIMENSIONS = {"meter": "m", "kilogram": "kg", "second": "s", "ampere": "A", "kelvin": "K"}

EXTENDED = [unit for unit in mensurator.units().units if unit.table == "extended"]


def pint_in_si(expression):
    quantity = REGISTRY.Quantity(1, expression).to_base_units()
    # The radian is a plain number here, as in the engine.
    exponents = {
        SI_DIMENSIONS[str(unit)]: Fraction(power)
        for unit, power in quantity.unit_items()
        if str(unit) != "radian"
    }
    return quantity.magnitude, exponents


def dimension_exponents(text):
    exponents = {}
    for part in text.split():
        symbol, _, power = part.partition("^")
        exponents[symbol] = Fraction(power or 1)
    return exponents


def test_the_extended_table_is_the_one_the_issue_lists():
    assert {name for unit in EXTENDED for name in unit.names} == set(PINT_NAMES)


@pytest.mark.parametrize("unit", EXTENDED, ids=[unit.names[0] for unit in EXTENDED])
def test_every_extended_factor_matches_pint(unit):
    magnitude, exponents = pint_in_si(PINT_NAMES[unit.names[0]])
    assert dimension_exponents(unit.dimension) == exponents
    assert math.isclose(unit.factor, magnitude, rel_tol=1e-14)


def value_of(text, **options):
    """The number of the last printed value, in base units (gram-based)."""
    return _engine.run(text, **options).statements[-1].value.number


@pytest.mark.parametrize(
    "prefixed, bare, power",
    [
        ("kVA", "VA", 3),
        ("MVA", "VA", 6),
        ("kvar", "var", 3),
        ("mbar", "bar", -3),
        ("keV", "eV", 3),
        ("MeV", "eV", 6),
        ("kcal", "cal", 3),
        ("ml", "l", -3),
    ],
)
def test_prefixes_work_on_extended_units(prefixed, bare, power):
    text = "!units extended\nx = 1 {}\nx =?"
    assert math.isclose(
        value_of(text.format(prefixed)), value_of(text.format(bare)) * 10.0**power, rel_tol=1e-15
    )


def test_a_directive_and_the_option_give_the_same_document_and_line_numbers():
    body = "p = 50 psi\np =? kPa\nq = 3 kip/ft^2\nq =? psf"
    with_line = mensurator.render("!units extended\n" + body)
    with_option = mensurator.render(body, units="extended")
    assert with_line.latex == with_option.latex
    # An error names the user's line, not one shifted by the option.
    with pytest.raises(DocumentError) as caught:
        mensurator.render("x = 1 ft\ny = 2 zz", units="extended")
    assert caught.value.line == 2


def test_extended_names_do_not_leak_into_a_standard_document():
    # Cached units are kept per thread from run to run: the same text must still fail in a
    # standard document after an extended one built it, in either order, in both modules.
    for _ in range(2):
        _engine.run("x = 3 ft\ny = 2 ft/s\ny =? ft/s", extended_units=True)
        for text in ("x = 3 ft", "y = 2 ft/s", "y = 1 m\ny =? ft/s", "z = 3 * ft"):
            with pytest.raises(DocumentError) as caught:
                mensurator.render(text)
            assert "ft" in caught.value.message
    with pytest.raises(Exception, match="ft is not a variable or a valid unit"):
        import mensurator_py

        mensurator_py.run_mensurator("x = 3 ft")


def test_the_directive_applies_from_its_line_on():
    with pytest.raises(DocumentError) as caught:
        mensurator.render("x = 3 ft\n!units extended\ny = 3 ft")
    assert caught.value.line == 1
    mensurator.render("x = 3 m\n!units extended\ny = 3 ft")


@pytest.mark.parametrize("name", ["degC", "degF"])
def test_offset_temperatures_are_refused_naming_kelvin(name):
    with pytest.raises(DocumentError) as caught:
        mensurator.render(f"T = 20 {name}", units="extended")
    assert "offset" in caught.value.message and "K" in caught.value.message.split(":")[-1]


def test_a_strict_document_hints_at_the_extended_table():
    with pytest.raises(DocumentError) as caught:
        mensurator.render("p = 2 bar")
    assert "`bar` is in the extended table: add `!units extended`" in caught.value.hints
    with pytest.raises(DocumentError) as caught:
        mensurator.render("S = 2 kVA")
    assert caught.value.hints == ("`kVA` is in the extended table: add `!units extended`",)


def test_reactive_and_apparent_power_keep_their_names_as_written():
    latex = mensurator.render("!units extended\nQ = 2 kvar\nQ =? kvar\nS = 3 MVA\nS =? kVA").latex
    assert "2 \\ \\mathrm{kvar}" in latex and "3000 \\ \\mathrm{kVA}" in latex
