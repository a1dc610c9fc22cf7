# quorvel-cli --scenario on the demonstrations: a table of scenario files,
# each with its exit status and what the report or the message says; a
# failed step leaves a recording that replays to the moment it failed.
import glob
import json
import os
import re
import subprocess

import pytest

from conftest import BUILD, demo

CLI = os.environ.get("QUORVEL_CLI", os.path.join(BUILD, "quorvel-cli"))

ECHO = 'name: echo\ntimeout: 500ms\nsteps:\n  - wait-serial: "back.\\r\\n"\n  - write-serial: "Az"\n'
LCD = 'name: lcd\nsteps:\n  - delay: 200ms\n'
KEYS = 'name: keys\nsteps:\n  - delay: 20ms\n  - set-pin: { pin: P3.3, value: 0 }\n  - press: P3.2\n  - delay: 30ms\n'


@pytest.mark.parametrize("program, text, status, says", [
    ("Demo7", ECHO + '  - wait-serial: { text: "Az", timeout: 20ms }\n', 0, "passed: 3 steps"),
    ("Demo7", ECHO + '  - wait-serial: { text: "B", timeout: 20ms }\n', 1,
     'scenario.yaml:6: step 3 (wait-serial: "B"): the serial line did not send it within 20 ms; unread: "Az"'),
    ("Demo3", LCD + '  - expect-lcd: " 8051 Family Demo 3"\n  - expect-lcd: { line: 4, text: "LCD Module Message" }\n',
     0, "passed"),
    ("Demo3", LCD + '  - expect-lcd: { line: 1, text: "LCD Module Message" }\n', 1, '4: "LCD Module Message"'),
    # The LEDs light at level 0: LED 1 while the key is held, LED 3 toggled by the press.
    ("Demo4", KEYS + '  - expect-pin: { pin: P1.0, value: 0 }\n  - release: P3.2\n  - wait-pin: { pin: P1.0, value: 1 }\n'
     '  - expect-pin: { pin: P1.2, value: 0 }\n', 0, "passed: 8 steps"),
    ("Demo4", KEYS + '  - expect-pin: { pin: P1.1, value: 0 }\n', 1, "step 5 (expect-pin: P1.1 = 0): P1.1 is at 1"),
    ("Demo5", 'name: k\nsteps:\n  - press: "A"\n', 1, "the keypad has no key 'A'"),
    ("Demo7", 'name: x\nsteps:\n  - wiat-serial: "a"\n', 1, "scenario.yaml:3:5: unknown step 'wiat-serial'"),
    ("Demo7", 'name: x\nsteps:\n  - delay: 3 weeks\n', 1, "scenario.yaml:3:12: delay takes a time"),
    ("Demo7", 'name: x\nsteps:\n  - set-pin: { pin: P1.0, level: 1 }\n', 1, "unknown key 'level'"),
    ("Demo7", 'name: x\nsteps: [\n', 1, "scenario.yaml:3:1:"),
    ("Demo7", 'name: x\nsteps: ' + '[' * 5000 + '\n', 1, "scenario.yaml:3:1: nested too deep"),
    ("Demo7", 'steps:\n  - delay: 1ms\n', 1, "this step needs 'name'"),
])
def test_scenario_file(tmp_path, program, text, status, says):
    (tmp_path / "scenario.yaml").write_text(text)
    hex_file, modules = demo(program)
    run = subprocess.run([CLI, "--scenario", "scenario.yaml", "--modules", modules, hex_file], cwd=tmp_path,
                         capture_output=True, text=True)
    assert (run.returncode, says in run.stdout + run.stderr) == (status, True), run.stdout + run.stderr
    if status == 1 and "step" in run.stdout:
        at = re.search(r"at: ([0-9.]+) ms simulated, PC ([0-9A-F]{4})H", run.stdout)
        recording, = glob.glob(str(tmp_path / "quorvel-artifacts" / "*" / "run.qrec"))
        replay = subprocess.run([CLI, "--replay", recording, "--json"], capture_output=True, text=True)
        report = json.loads(replay.stdout)
        assert ("%.3f" % (report["simulated_us"] / 1000), report["stop"]["pc"]) == (at[1], int(at[2], 16))
