"""Code run in a fresh interpreter, for what is process-wide (library starts, start counts)."""

import subprocess
import sys
import textwrap


def run_fresh(code):
    """Runs code in a fresh interpreter; it must end well. Returns its standard output."""
    out = subprocess.run([sys.executable, "-c", textwrap.dedent(code)], capture_output=True,
                         text=True, timeout=120)
    assert out.returncode == 0, out.stderr
    return out.stdout
