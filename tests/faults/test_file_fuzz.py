"""A bounded file fuzzer: a few hundred mutants of the test data files are read in a child
process, which must neither crash nor hang; every refusal names the file, and whatever reads
writes and reads back as the same model."""

import json
import pathlib
import subprocess
import sys

CASES = 400
SEED = 20240519
HERE = pathlib.Path(__file__).parent


def test_mutated_files_never_crash_or_hang(tmp_path):
    child = [sys.executable, str(HERE / "fuzz_files_child.py"), str(HERE.parent / "data"),
             str(tmp_path), str(CASES), str(SEED)]
    progress = tmp_path / "progress"
    try:
        run = subprocess.run(child, capture_output=True, text=True, timeout=240)
    except subprocess.TimeoutExpired:
        raise AssertionError(f"hang at case {progress.read_text()}") from None
    last = progress.read_text() if progress.exists() else "none"
    assert run.returncode == 0, f"crash ({run.returncode}) at case {last}: {run.stderr[-2000:]}"
    result = json.loads(run.stdout.strip().splitlines()[-1])
    print(f"file fuzzer: {result['cases']} mutants, {result['read']} read, "
          f"{result['refused']} refused, 0 crashes, 0 hangs")
    assert result["cases"] == CASES
    assert result["unclear"] == []
    assert result["read"] > 20 and result["refused"] > 100
