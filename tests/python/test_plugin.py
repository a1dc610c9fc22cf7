# The pytest plugin seen from a user's suite: the board fixture from the ini
# options and a marker, each test from the same state, and what a failing
# test leaves behind, alike in one process and under pytest-xdist: its
# recording replays to the moment of the failure.
import json
import re
import subprocess

import pytest

from conftest import demo
from test_scenario import CLI

SUITE = '''
import pytest

def test_greeting(board):
    assert board.uart.expect(rb"Demo\\r\\n", within_ms=400).startswith(b"Quorvel")
    print("cycles", board.cycles)

def test_starts_from_the_loaded_state(board):
    assert board.cycles == 0 and board.uart.transcript == b""

@pytest.mark.board(firmware=r"{demo3}", modules=r"{demo3_mst}")
def test_lcd_from_the_marker(board):
    board.run(timeout_ms=200)
    assert board.lcd.lines()[1] == " 8051 Family Demo 3 "

def test_fails_with_artefacts(board):
    board.uart.expect(b"Serial", within_ms=400)
    board.uart.write(b"Az")
    board.set_pin("P3.3", 1)
    board.run(timeout_ms=10)
    board.set_pin("P3.3", 0)
    board.run(timeout_ms=20)
    assert board.pin("P1.0") == 0
'''


@pytest.mark.parametrize("workers", [[], ["-n", "2"]])
def test_fixture_and_failure_artefacts(pytester, workers):
    hex7, mst7 = demo("Demo7")
    hex3, mst3 = demo("Demo3")
    pytester.makeini("[pytest]\nquorvel_firmware = %s\nquorvel_modules = %s\n" % (hex7, mst7))
    pytester.makepyfile(SUITE.format(demo3=hex3, demo3_mst=mst3))
    result = pytester.runpytest_subprocess("-p", "quorvel.pytest_plugin", "-p", "no:cacheprovider", *workers)
    result.assert_outcomes(passed=3, failed=1)
    folder = pytester.path / "quorvel-artifacts" / "test_fixture_and_failure_artefacts.py_test_fails_with_artefacts"
    result.stdout.fnmatch_lines(["*uart transcript: %s*" % (folder / "uart.txt")])
    assert (folder / "uart.txt").read_bytes().startswith(b"Quorvel Simulator Serial")
    assert "$enddefinitions" in (folder / "lines.vcd").read_text()
    failed = re.search(r"failed at cycle (\d+) \(.*\), PC ([0-9A-F]{4})H", result.stdout.str())
    replay = subprocess.run([CLI, "--replay", str(folder / "run.qrec"), "--json"], capture_output=True, text=True)
    assert replay.returncode == 3, replay.stderr  # the last run's stop: max-cycles
    report = json.loads(replay.stdout)
    assert (report["cycles"], report["stop"]["pc"]) == (int(failed[1]), int(failed[2], 16)), replay.stderr
    assert failed[1] != "0"

