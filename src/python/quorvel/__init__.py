"""An 8051 board with its parts, simulated in process.

    board = quorvel.Board(device="AT89C52", clock_hz=12_000_000, modules="board.MST")
    board.load("fw.ihx", source_map="fw.cdb")
    board.uart.write(b"AT\\r\\n")
    board.uart.expect(rb"OK\\r\\n", within_ms=20)

Every wait is measured in simulated time. Bad input raises quorvel.Error
(a ValueError) with the simulator's message.
"""
from ._core import (Board, Error, Frame, Keypad, Keys, Lcd, Memory, PartMemory, Rtc, Snapshot, Stop,
                    Uart)

__all__ = ["Board", "Error", "Frame", "Keypad", "Keys", "Lcd", "Memory", "PartMemory", "Rtc",
           "Snapshot", "Stop", "Uart"]
