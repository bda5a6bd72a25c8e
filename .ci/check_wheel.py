"""Checks an installed wheel: run as the fresh environment's Python, outside the source tree.

1. Every shared object of the installed package (the extension, libnvra and the libraries the
   wheel bundles) resolves, under ldd, only to files inside the package or to the system's base
   libraries that every manylinux system provides (glibc, libstdc++, libgcc_s, zlib).
2. Every example of the repository runs from the installed package and exits with 0.

Usage: <venv>/bin/python .ci/check_wheel.py EXAMPLES_DIR
"""

import os
import pathlib
import re
import subprocess
import sys
import tempfile
import time

# The libraries of the manylinux policies' base set (glibc's, the C++ runtime, zlib), by the
# start of their sonames: auditwheel leaves these to the system.
SYSTEM_BASE = ("linux-vdso", "ld-linux", "libc.so", "libm.so", "libdl.so", "libpthread.so",
               "librt.so", "libutil.so", "libresolv.so", "libstdc++.so", "libgcc_s.so", "libz.so")
LDD_LINE = re.compile(r"^\s*(\S+)(?:\s+=>\s+(\S+|not found))?")


def package_root() -> pathlib.Path:
    import nivra
    root = pathlib.Path(nivra.__file__).resolve().parent
    assert not (root.parent / "pyproject.toml").exists(), f"nivra imported from the sources: {root}"
    return root


def shared_objects(root: pathlib.Path) -> list[pathlib.Path]:
    """The package's own and its bundled libraries (auditwheel puts those in nivra.libs)."""
    bundled = root.parent / "nivra.libs"
    found = [p for p in root.rglob("*.so*") if p.is_file()]
    if bundled.is_dir():
        found += [p for p in bundled.iterdir() if ".so" in p.name]
    return sorted(found)


def foreign_dependencies(so: pathlib.Path, inside: tuple[pathlib.Path, ...]) -> list[str]:
    """The dependencies of so that resolve neither into the package nor to the system base."""
    out = subprocess.run(["ldd", str(so)], capture_output=True, text=True, check=True).stdout
    bad = []
    for line in out.splitlines():
        m = LDD_LINE.match(line)
        if not m:
            continue
        name, target = m.group(1), m.group(2)
        if target == "not found":
            bad.append(f"{name} not found")
        elif pathlib.Path(name).name.startswith(SYSTEM_BASE):
            continue
        elif target and not any(pathlib.Path(target).resolve().is_relative_to(d) for d in inside):
            bad.append(f"{name} => {target}")
    return bad


def check_libraries(root: pathlib.Path) -> int:
    objects = shared_objects(root)
    inside = (root, root.parent / "nivra.libs")
    failures = {so.name: bad for so in objects if (bad := foreign_dependencies(so, inside))}
    bundled = sorted(p.name for p in objects if p.parent.name == "nivra.libs")
    print(f"ldd: {len(objects)} shared objects, {len(bundled)} bundled by auditwheel:")
    print("  " + " ".join(bundled))
    for name, bad in failures.items():
        print(f"  {name}: {', '.join(bad)}")
    print("ldd: " + ("FAILED" if failures else "only bundled or system-base libraries"))
    return len(failures)


def run_examples(folder: pathlib.Path) -> int:
    failed = 0
    env = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    with tempfile.TemporaryDirectory() as cwd:
        for script in sorted(folder.glob("*.py")):
            start = time.perf_counter()
            run = subprocess.run([sys.executable, str(script)], cwd=cwd, env=env,
                                 capture_output=True, text=True, check=False)
            seconds = time.perf_counter() - start
            last = (run.stdout.strip().splitlines() or [""])[-1]
            print(f"example {script.name}: exit {run.returncode}, {seconds:.1f} s: {last[:70]}")
            if run.returncode:
                print(run.stderr[-2000:])
                failed += 1
    return failed


def main() -> int:
    root = package_root()
    print(f"nivra {__import__('nivra').getversion()} from {root}")
    return 1 if check_libraries(root) + run_examples(pathlib.Path(sys.argv[1])) else 0


if __name__ == "__main__":
    sys.exit(main())
