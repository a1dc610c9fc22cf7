# Shared by the Python suites: where the build put the demonstration
# programs, and SDCC programs of tests/data compiled once per process.
import os
import shutil
import subprocess

import pytest

BUILD = os.environ.get("QUORVEL_BUILD_DIR", os.path.join(os.path.dirname(__file__), "../../build"))
DATA = os.path.join(os.path.dirname(__file__), "..", "data")
DEMOS = os.path.join(BUILD, "DemoPrograms")
pytest_plugins = ["pytester"]


def demo(name):
    return os.path.join(DEMOS, name + ".HEX"), os.path.join(DEMOS, name + ".MST")


@pytest.fixture(scope="session")
def sdcc(tmp_path_factory):
    """Compiles tests/data/<source> with SDCC --debug; returns (ihx, cdb)."""
    built = {}

    def compile(source, *flags):
        if source not in built:
            folder = tmp_path_factory.mktemp("sdcc")
            name = os.path.basename(source)
            shutil.copy(os.path.join(DATA, source), folder / name)
            subprocess.run([os.environ.get("QUORVEL_SDCC", "sdcc"), "-mmcs51", "--debug", *flags, name],
                           cwd=folder, check=True, capture_output=True)
            stem = folder / name[:-2]
            built[source] = (str(stem) + ".ihx", str(stem) + ".cdb")
        return built[source]
    return compile
