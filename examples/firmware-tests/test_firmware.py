# The firmware's tests: run with the quorvel pytest plugin (pytest.ini) on
# the firmware built by `make`.
import pytest


@pytest.fixture
def ready(board):
    board.uart.expect(b"READY\r\n", within_ms=20)
    return board


@pytest.mark.parametrize("command, answer", [(b"AT\r", b"OK\r\n"), (b"AX\r", b"ERROR\r\n")])
def test_commands(ready, command, answer):
    ready.uart.write(command)
    assert ready.uart.expect(answer, within_ms=20).endswith(answer)


def test_port_1_follows_the_command(ready):
    ready.uart.write(b"P1=A5\r")
    ready.uart.expect(b"OK\r\n", within_ms=20)
    assert [ready.pin("P1.%d" % bit) for bit in range(8)] == [1, 0, 1, 0, 0, 1, 0, 1]


def test_key_presses_are_counted(ready):
    for n in (1, 2):
        ready.pulse("P3.2", level=0, ms=5)
        ready.uart.expect(b"KEY %d\r\n" % n, within_ms=20)
    assert ready.var("presses") == 2
