# The quorvel module driven against the demonstration programs on their
# boards and SDCC programs: every verb checked by what the parts show.
import re

import pytest
import quorvel

from conftest import demo


def board_for(name, **kw):
    hex_file, modules = demo(name)
    board = quorvel.Board(device="AT89C52", modules=modules, **kw)
    board.load(hex_file)
    return board


def flash_period(b):
    b.run(pin=("P1.0", 0), timeout_ms=100)
    start = b.time_ms
    assert b.run(pin=("P1.0", 1), timeout_ms=600) == "pin"
    return b.time_ms - start


def echo(b):
    greeting = b.uart.expect(rb"back\.\r\n", within_ms=400)
    b.uart.write(b"Az")
    return greeting.startswith(b"Quorvel Simulator Serial Port Demo\r\n"), b.uart.expect(b"z", within_ms=20)


def keys(b):
    b.run(timeout_ms=30)
    before = b.leds
    b.keys.press("P3.2", hold_ms=30)
    return before["P1.0"], b.leds["P1.0"], b.leds["P1.2"]


def keypad(b):
    shown = []
    for key in "8*0":
        b.keypad.press(key, hold_ms=30)
        b.run(timeout_ms=20)
        shown.append(b.digits())
    return shown


def clock(b):
    b.rtc.set_time(12, 34, 56)
    b.run(timeout_ms=30)
    return b.digits()


# Each demonstration's visible effect on its board.
@pytest.mark.parametrize("name, act, expected", [
    ("Demo1", flash_period, pytest.approx(250, abs=2.5)),
    ("Demo2", lambda b: (b.run(timeout_ms=1100), b.digits())[1], "02"),
    ("Demo3", lambda b: (b.run(timeout_ms=200), b.lcd.lines())[1],
     ["  Quorvel Simulator ", " 8051 Family Demo 3 ", "4 Lines X 20 Chars  ", "LCD Module Message  "]),
    ("Demo4", keys, (0, 1, 1)),
    ("Demo5", keypad, ["8", "-", "0"]),
    ("Demo6", clock, "12.34.56"),
    ("Demo7", echo, (True, b"Az")),
    ("Demo11", lambda b: (b.run(timeout_ms=50), b.memory("iram")[0x20:0x30])[1], bytes(range(16))),
])
def test_demonstration(name, act, expected, record_property):
    board = board_for(name)
    assert act(board) == expected
    record_property("cycles", board.cycles)


@pytest.fixture(scope="module")
def variables(sdcc):
    ihx, cdb = sdcc("debug/variables.c", "--nooverlay")
    b = quorvel.Board(xdata_kb=8)
    b.load(ihx, source_map=cdb)
    return b


MAIN_MARK = 118  # the MARK line of main() in variables.c


# Each way a run ends, on one program: the reason and where it stopped.
@pytest.mark.parametrize("kwargs, reason, check", [
    ({"until_line": "variables.c:%d" % MAIN_MARK}, "break-line", lambda b: b.stack()[0].line == MAIN_MARK),
    ({"until": "stop == 50"}, "until", lambda b: b.stack()[0].function == "rec"),
    ({"uart": b"gi FFFFFB2E\n"}, "uart", lambda b: b.uart.read() == b""),
    ({"pin": ("P1.1", 0)}, "pin", lambda b: b.var("P1") == 0xA5),
    ({"cycles": 5000}, "max-cycles", lambda b: 5000 <= b.cycles < 5004),
    ({"timeout_ms": 2.5}, "max-cycles", lambda b: b.time_ms == pytest.approx(2.5, abs=0.004)),
])
def test_run_stops(variables, kwargs, reason, check, record_property):
    start = variables.snapshot()
    try:
        stop = variables.run(**{"timeout_ms": 2000, **kwargs})
        record_property("cycles", stop.cycles)
        assert stop.reason == reason and check(variables)
    finally:
        variables.restore(start)


def test_variables_agree_with_what_the_program_printed(variables):
    start = variables.snapshot()
    variables.run(until_line="variables.c:%d" % MAIN_MARK)
    printed = dict(re.findall(r"(\S+) ([0-9A-F]{8})\n", variables.uart.read().decode()))
    for expression in ("gc", "guc", "gi", "gul", "gs", "ibuf[2]", "xarr[3]", "gpt.y", "gpt.f2", "guv.l",
                       "*xp", "dp->y", "P1_0", "(*dp).x"):
        assert variables.var(expression) & 0xFFFFFFFF == int(printed[expression], 16), expression
    assert variables.var("gf") == -3.25 and variables.memory("sfr")[0x90] == 0xA5
    variables.restore(start)


def test_snapshots_restore_and_repeat_identically(variables):
    start = variables.snapshot()
    first = variables.run(until="stop == 50")
    after = variables.snapshot().hash
    variables.restore(start)
    assert variables.run(until="stop == 50") == first and variables.snapshot().hash == after
    variables.reset()  # the CPU only: program time starts again, memory stays
    assert (variables.cycles, variables.registers["PC"], variables.var("stop")) == (0, 0, 50)
    variables.restore(start)
    assert variables.cycles == start.cycles
    # A condition that holds before the first instruction waits for the next time.
    variables.uart.write(b"x")
    assert variables.run(until="PC == 0", cycles=1) == "max-cycles"
    variables.restore(start)


def test_recording_answers_who_last_wrote(variables):
    start = variables.snapshot()
    variables.recording = True
    variables.run(until="stop == 50")
    cycle, pc, line = variables.last_write("stop")
    assert cycle <= variables.cycles and line.startswith("variables.c:")
    variables.restore(start)


def test_part_memories_profile_and_registers():
    b = board_for("Demo6")
    b.iic_eeprom[5], b.spi_eeprom[-1] = 0x42, 0x17
    assert (b.iic_eeprom[5], b.spi_eeprom[len(b.spi_eeprom) - 1], len(b.iic_eeprom), len(b.rtc)) == (0x42, 0x17, 128, 256)
    b.profile(True)
    b.run(timeout_ms=30)
    counts = b.profile()
    assert counts[0][0] == 1 and 0 < b.coverage() <= 1 and sum(c for _, c in counts.values()) == b.cycles
    b.set_register("A", "0x5A")
    assert b.registers["A"] == 0x5A and b.memory("sfr")[0xE0] == 0x5A


@pytest.mark.parametrize("act, message", [
    (lambda: quorvel.Board(device="Z80"), "unknown device"),
    (lambda: quorvel.Board(xdata_kb=3), "--xdata takes"),
    (lambda: quorvel.Board(clock_hz=99_000_000), "Frequency"),
    (lambda: quorvel.Board().load("/nonexistent.hex"), "/nonexistent.hex"),
    (lambda: quorvel.Board(modules="/nonexistent.MST"), "/nonexistent.MST"),
    (lambda: quorvel.Board().pin("P9.0"), "is not a port line"),
    (lambda: quorvel.Board(device="AT89C2051").set_pin("P0.1", 1), "not a port line of the AT89C2051"),
    (lambda: quorvel.Board().memory("xdata")[0], "beyond"),
    (lambda: quorvel.Board().memory("iram")[256], "beyond"),
    (lambda: quorvel.Board().memory("flash"), "flash"),
    (lambda: quorvel.Board().run(until_line="main.c:3"), "source map"),
    (lambda: quorvel.Board().run(until="x ==="), "expected a variable name"),
    (lambda: quorvel.Board().uart.expect(b"(", within_ms=1), "does not read"),
    (lambda: quorvel.Board().uart.expect(b"OK", within_ms=1), "did not send 'OK' within"),
    (lambda: board_for("Demo5").keypad.press("Q"), "no key 'Q'"),
    (lambda: board_for("Demo1").keys.press("P3.2"), "no momentary key on P3.2"),
    (lambda: quorvel.Board().var("x"), "no symbols"),
    (lambda: quorvel.Board().iic_eeprom[128], "iic-eeprom address 128 is beyond its 128 bytes"),
    (lambda: quorvel.Board().coverage(), "the profile is off"),
    (lambda: quorvel.Board().set_register("Q", "1"), "Q: no symbols"),
    (lambda: quorvel.Board().set_register("A", "300"), "A: A takes a number from -128 to 255"),
    (lambda: quorvel.Board().open_snapshot("/nonexistent.qsnap"), "/nonexistent.qsnap"),
    (lambda: quorvel.Board(record=False).save("/nonexistent/run.qrec"), "the board keeps no history to save"),
    (lambda: quorvel.Board().save("/nonexistent/run.qrec"), "Unable to write the recording file /nonexistent/run.qrec"),
])
def test_bad_input_raises_the_simulators_message(act, message):
    with pytest.raises(quorvel.Error, match=re.escape(message)):
        act()


def test_corrupt_firmware_is_refused(tmp_path):
    bad = tmp_path / "bad.hex"
    bad.write_text(":10000000GARBAGE\n")
    with pytest.raises(quorvel.Error, match="bad.hex"):
        quorvel.Board().load(str(bad))
