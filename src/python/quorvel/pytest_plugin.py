"""pytest plugin: a `board` fixture with the firmware loaded, and what a
failing test leaves behind.

Enable it with `-p quorvel.pytest_plugin` or `pytest_plugins =
["quorvel.pytest_plugin"]` in a conftest.py. The board is configured by the
ini options below, and per test by a marker whose keywords override them:

    [pytest]
    quorvel_firmware = build/fw.ihx
    quorvel_source_map = build/fw.cdb
    quorvel_modules = board.MST

    @pytest.mark.board(firmware="other.ihx", xdata_kb=8, pins={"P3.2": 1})
    def test_it(board): ...

Each configuration is built and loaded once per process; every test starts
from the snapshot taken after loading, so tests do not see each other's
state and start cheaply. When a test that used the board fails, the serial
transcript, a VCD of the port lines and the recording of the test's run (the
board's history from the test's start; `quorvel-cli --replay run.qrec` stops
at the moment of the failure) go into quorvel_artifacts/<test>/, their paths
are printed, and they are attached to the report. The simulation is deterministic: under pytest-xdist
every test sees the same cycles as in one process.
"""
import os
import re

import pytest

import quorvel

_KEYS = ("device", "clock_hz", "xdata_kb", "code_memory", "modules", "firmware", "source_map")


def pytest_addoption(parser):
    parser.addini("quorvel_device", "the 8051 device of the board", default="AT89C52")
    parser.addini("quorvel_clock_hz", "the board's clock in Hz", default="12000000")
    parser.addini("quorvel_xdata_kb", "external data memory in KB", default="0")
    parser.addini("quorvel_code_memory", "internal, external:KB or both:KB", default="")
    parser.addini("quorvel_modules", "module settings file (.MST)", default="")
    parser.addini("quorvel_firmware", "the program to load (.hex, .ihx or binary)", default="")
    parser.addini("quorvel_source_map", "its source map (.cdb or .lst)", default="")
    parser.addini("quorvel_artifacts", "folder for what failing tests leave", default="quorvel-artifacts")


def pytest_configure(config):
    config.addinivalue_line("markers", "board(**settings): the board fixture's configuration "
                            "(device, clock_hz, xdata_kb, code_memory, modules, firmware, source_map, pins)")
    config._quorvel_boards = {}


def _settings(request):
    ini = request.config.getini
    settings = {key: ini("quorvel_" + key) for key in _KEYS}
    settings["pins"] = {}
    marker = request.node.get_closest_marker("board")
    if marker:
        unknown = set(marker.kwargs) - set(_KEYS) - {"pins"}
        if unknown:
            raise pytest.UsageError("board marker: unknown settings " + ", ".join(sorted(unknown)))
        settings.update(marker.kwargs)
    return settings


def _prepared(config, settings):
    key = repr(sorted(settings.items()))
    cached = config._quorvel_boards.get(key)
    if cached is None:
        board = quorvel.Board(device=settings["device"], clock_hz=int(settings["clock_hz"]),
                              xdata_kb=int(settings["xdata_kb"]), code_memory=settings["code_memory"],
                              modules=settings["modules"], pins=settings["pins"], record_lines=True)
        if not settings["firmware"]:
            raise pytest.UsageError("the board fixture needs firmware: the quorvel_firmware ini option "
                                    "or the board marker's firmware=")
        board.load(str(settings["firmware"]), str(settings["source_map"]) or None)
        cached = config._quorvel_boards[key] = (board, board.snapshot())
    return cached


@pytest.fixture
def board(request):
    """The configured board, at the state right after loading its firmware."""
    board, start = _prepared(request.config, _settings(request))
    board.restore(start)
    board.recording = True
    request.node._quorvel_board = board
    yield board
    board.recording = False


def _artifact_dir(config, nodeid):
    base = config.getini("quorvel_artifacts")
    if not os.path.isabs(base):
        base = os.path.join(str(config.rootpath), base)
    return os.path.join(base, re.sub(r"[^A-Za-z0-9_.-]+", "_", nodeid))


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    report = outcome.get_result()
    board = getattr(item, "_quorvel_board", None)
    if report.when != "call" or not report.failed or board is None:
        return
    folder = _artifact_dir(item.config, item.nodeid)
    os.makedirs(folder, exist_ok=True)
    paths = {"uart transcript": os.path.join(folder, "uart.txt"),
             "port lines (VCD)": os.path.join(folder, "lines.vcd"),
             "recording (quorvel-cli --replay)": os.path.join(folder, "run.qrec")}
    with open(paths["uart transcript"], "wb") as out:
        out.write(board.uart.transcript)
    board.vcd(paths["port lines (VCD)"])
    try:
        board.save(paths["recording (quorvel-cli --replay)"])
    except quorvel.Error as e:  # the test turned recording off
        paths["recording (quorvel-cli --replay)"] = "none: %s" % e
    text = "\n".join("%s: %s" % (what, path) for what, path in paths.items())
    text += "\nfailed at cycle %d (%.3f ms), PC %04XH" % (board.cycles, board.time_ms, board.registers["PC"])
    report.sections.append(("quorvel artefacts", text))
    report.user_properties.extend(paths.items())
