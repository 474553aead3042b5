"""``mensurator.units()`` and ``mensurator units`` list the engine's own tables, and the command's
``--sigfigs``, ``--units`` and ``--symbols`` act as the directives do."""

import json
import subprocess
import sys

import mensurator
import pytest
from mensurator import DocumentError


def command(*args, stdin=None):
    return subprocess.run(
        [sys.executable, "-m", "mensurator", *map(str, args)],
        input=stdin,
        capture_output=True,
        timeout=60,
        check=False,
    )


def renders(name, **options):
    try:
        mensurator.render(f"x = 1 {name}", **options)
    except DocumentError:
        return False
    return True


def test_every_listed_unit_is_one_the_engine_reads_in_its_table():
    tables = mensurator.units()
    assert len(tables.units) > 60 and len(tables.prefixes) == 20 and len(tables.functions) == 25
    for unit in tables.units:
        for name in unit.names:
            if not name.isascii():
                continue  # Ω is reached only through the engine's lookup, not a document
            assert renders(name, units="extended")
            assert renders(name) == (unit.table == "specified"), name
    # The listing's factor is the engine's: a litre is a thousandth of a cubic metre.
    litre = next(unit for unit in tables.units if "liter" in unit.names)
    assert (litre.dimension, litre.factor) == ("m^3", pytest.approx(1e-3, rel=1e-15))
    kilo = next(prefix for prefix in tables.prefixes if prefix.word == "kilo")
    assert (kilo.symbol, kilo.power) == ("k", 3)
    assert renders("kft", units="extended")
    maximum = next(function for function in tables.functions if function.name == "max")
    assert (maximum.least_arguments, maximum.most_arguments, maximum.keeps_unit) == (1, None, True)


def test_the_units_command_lists_the_same_tables():
    listed = command("units", "--json")
    assert listed.returncode == 0
    data = json.loads(listed.stdout)
    tables = mensurator.units()
    assert [tuple(unit["names"]) for unit in data["units"]] == [u.names for u in tables.units]
    text = command("units")
    assert text.returncode == 0
    lines = text.stdout.decode().splitlines()
    assert lines[0] == "units:" and "prefixes:" in lines and "functions:" in lines
    assert any(line.split()[:2] == ["psi", "extended"] for line in lines)


def test_command_options_act_as_the_first_lines():
    body = b"p = 50.1234 psi\np =? kPa\nf = sqrt(2)\n"
    options = command("--sigfigs", 3, "--units", "extended", "--symbols", "-", stdin=body)
    directives = command("-", stdin=b"!units extended\n!sigfigs 3\n!symbols\n" + body)
    assert options.returncode == 0 and options.stdout == directives.stdout
    # A literal keeps its figures under !sigfigs, so nothing warns that it is shown rounded.
    assert options.stderr == b""
    assert b"346 \\ \\mathrm{kPa}" in options.stdout and b"\\sqrt{2}" in options.stdout
    # An error names the line of the file itself.
    failed = command("--units", "extended", "-", stdin=b"x = 1 ft\ny = 2 zz\n")
    assert failed.returncode == 1 and b":2:" in failed.stderr


@pytest.mark.parametrize("arguments", [["--sigfigs", "0"], ["--sigfigs", "18"], ["--units", "us"]])
def test_command_refuses_options_out_of_range(arguments):
    assert command(*arguments, "-", stdin=b"x = 1\n").returncode == 2
