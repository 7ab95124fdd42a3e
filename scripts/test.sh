#!/usr/bin/env bash
# Builds and runs the whole test suite: the C++ core tests (plain, ASan+UBSan
# and TSan) once through ctest; the one stable-ABI wheel once (scripts/wheel.sh);
# then the Python tests (tests/python and the wheel test tests/package) under
# every CPython >= 3.12 found, each in its own venv (.venv-3.N) and build folder
# (build-py3.N); the Python tests from that wheel under every CPython >= 3.14 of
# a minimal Debian testing root (scripts/check_python_root.sh); the aarch64
# wheel in a Debian arm64 root under emulation (scripts/check_arm64_root.sh);
# then a short smoke run of each libFuzzer target (clang build in build-fuzz,
# ctest -L fuzz) and of the Python-level harness (fuzz/python).
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_BASEDIR="$PWD"
scripts/setup.sh --system
JOBS=$(nproc)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

mapfile -t PYTHONS < <(scripts/setup.sh --pythons)
[ ${#PYTHONS[@]} -gt 0 ] || { echo "no CPython 3.12 or newer found" >&2; exit 1; }
minor() { "$1" -c 'import sys; print("%d.%d" % sys.version_info[:2])'; }
for py in "${PYTHONS[@]}"; do scripts/setup.sh --venv "$py" ".venv-$(minor "$py")"; done
PY_NEWEST=$PWD/.venv-$(minor "${PYTHONS[-1]}")/bin/python
TOOLS=$(dirname "$PY_NEWEST")

cmake -S . -B build -G Ninja -DCMAKE_MAKE_PROGRAM="$TOOLS/ninja" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
  -DVORN_BUILD_EXTENSION=OFF -DVORN_BUILD_TESTS=ON -DVORN_SANITIZER_TESTS=ON -DVORN_BUILD_BENCH=ON \
  -DPython_EXECUTABLE="$PY_NEWEST" >/dev/null
cmake --build build -j "$JOBS"
(cd build && ctest --output-on-failure -j "$JOBS")

scripts/wheel.sh "${PYTHONS[0]}"

ran=()
for py in "${PYTHONS[@]}"; do
  m=$(minor "$py")
  venv_py=$PWD/.venv-$m/bin/python
  echo "== Python $("$venv_py" -c 'import sys; print(sys.version.split()[0])') ($py)"
  # nlohmann/json from PyPI here, as in the wheels; the C++ tests above use the system's copy.
  cmake -S . -B "build-py$m" -G Ninja -DCMAKE_MAKE_PROGRAM="$TOOLS/ninja" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
    -DVORN_BUILD_TESTS=OFF -DCMAKE_DISABLE_FIND_PACKAGE_nlohmann_json=ON -DPython_EXECUTABLE="$venv_py" >/dev/null
  cmake --build "build-py$m" -j "$JOBS"
  PYTHONPATH="$PWD" VORN_WHEELHOUSE="$PWD/dist" "$venv_py" -m pytest -q -p no:cacheprovider tests/python tests/package
  ran+=("$("$venv_py" -c 'import sys; print(sys.version.split()[0])')")
done
# Once more with every signature through libsodium (the multi-buffer engine
# off), on the newest Python: both engines must give the same bytes.
echo "== VORN_KEYCHAIN_ED25519=portable"
PYTHONPATH="$PWD" VORN_KEYCHAIN_ED25519=portable "$PY_NEWEST" -m pytest -q -p no:cacheprovider tests/python
echo "Python tests ran under CPython ${ran[*]}"
scripts/check_python_root.sh

# The same wheel cross-built for aarch64, installed into a bare Debian arm64
# root (made on the first run, then reused) and replayed there under
# emulation: the golden cases and the examples.
scripts/wheel.sh --arch aarch64
scripts/check_arm64_root.sh

CLANGXX="clang++-$(scripts/setup.sh --fuzz-clang-version)"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_MAKE_PROGRAM="$TOOLS/ninja" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
  -DCMAKE_CXX_COMPILER="$CLANGXX" -DVORN_BUILD_EXTENSION=OFF -DVORN_BUILD_FUZZERS=ON -DVORN_BUILD_TESTS=OFF \
  -DPython_EXECUTABLE="$PY_NEWEST" >/dev/null
cmake --build build-fuzz -j "$JOBS"
(cd build-fuzz && ctest -L fuzz --output-on-failure -j "$JOBS")
# The Python-level harness (atheris) against the sanitized module, on the oldest Python found.
PYTHON="$PWD/.venv-$(minor "${PYTHONS[0]}")/bin/python" fuzz/python/smoke.sh 30
