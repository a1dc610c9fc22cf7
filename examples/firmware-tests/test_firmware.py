# The firmware's tests: run with the quorvel pytest plugin (pytest.ini) on
# the firmware built by `make`.
import pytest


@pytest.fixture
def ready(board):
    board.uart.expect(b"READY\r\n", within_ms=50)
    return board


@pytest.mark.parametrize("command, answer", [(b"AT\r", b"OK\r\n"), (b"AX\r", b"ERROR\r\n")])
def test_commands(ready, command, answer):
    ready.uart.write(command)
    assert ready.uart.expect(answer, within_ms=20).endswith(answer)


def test_port_1_lights_the_leds(ready):
    ready.uart.write(b"P1=A5\r")
    ready.uart.expect(b"OK\r\n", within_ms=20)
    levels = [1, 0, 1, 0, 0, 1, 0, 1]
    assert [ready.pin("P1.%d" % bit) for bit in range(8)] == levels
    # Each LED lights while its line is low.
    assert ready.leds == {"P1.%d" % bit: 1 - level for bit, level in enumerate(levels)}


def test_key_presses_are_counted(ready):
    for n in (1, 2):
        ready.keys.press("P3.2", hold_ms=5)
        ready.uart.expect(b"KEY %d\r\n" % n, within_ms=20)
    assert ready.var("presses") == 2


def test_keypad_types_on_the_lcd_and_sends_the_number(ready):
    assert ready.lcd.lines()[0].rstrip() == "READY"
    for key in "907":
        ready.keypad.press(key, hold_ms=20)
    assert ready.lcd.lines()[1] == "907".ljust(16)
    ready.keypad.press("#", hold_ms=20)
    ready.uart.expect(b"NUMBER 907\r\n", within_ms=20)
    assert ready.lcd.lines()[1].strip() == ""
    # "*" clears what was typed without sending it.
    for key in "5*1":
        ready.keypad.press(key, hold_ms=20)
    assert ready.lcd.lines()[1].rstrip() == "1"


# Each EEPROM both ways: a byte the firmware stores is in the part's memory,
# and a byte put into the memory is what the firmware reads back.
@pytest.mark.parametrize("letter, part", [(b"E", "iic_eeprom"), (b"S", "spi_eeprom")])
def test_eeprom_write_and_read_back(ready, letter, part):
    memory = getattr(ready, part)
    ready.uart.write(letter + b"W1A5C\r")
    ready.uart.expect(b"OK\r\n", within_ms=50)
    assert memory[0x1A] == 0x5C
    memory[0x7F] = 0xC3
    # The firmware takes one command at a time: the next after the answer.
    for address, value in ((b"7F", b"C3"), (b"1A", b"5C")):
        ready.uart.write(letter + b"R" + address + b"\r")
        assert ready.uart.expect(rb"E=..\r\n", within_ms=50).endswith(letter + b"E=" + value + b"\r\n")
