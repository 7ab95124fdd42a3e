#!/usr/bin/env bash
# Builds and runs the whole test suite: C++ core tests (plain, ASan+UBSan and
# TSan) through ctest, then the Python tests through pytest, then a short
# smoke run of each libFuzzer target (clang build in build-fuzz, ctest -L fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --deps
JOBS=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_MAKE_PROGRAM="$PWD/.venv/bin/ninja" -DCMAKE_BUILD_TYPE=Release \
  -DVORN_BUILD_TESTS=ON -DVORN_SANITIZER_TESTS=ON -DVORN_BUILD_BENCH=ON \
  -DPython_EXECUTABLE="$PWD/.venv/bin/python" >/dev/null
cmake --build build -j "$JOBS"
(cd build && ctest --output-on-failure -j "$JOBS")
PYTHONPATH="$PWD" .venv/bin/python -m pytest -q tests/python
CLANGXX="clang++-$(scripts/setup.sh --fuzz-clang-version)"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_MAKE_PROGRAM="$PWD/.venv/bin/ninja" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_COMPILER="$CLANGXX" -DVORN_BUILD_EXTENSION=OFF -DVORN_BUILD_FUZZERS=ON -DVORN_BUILD_TESTS=OFF >/dev/null
cmake --build build-fuzz -j "$JOBS"
(cd build-fuzz && ctest -L fuzz --output-on-failure -j "$JOBS")
