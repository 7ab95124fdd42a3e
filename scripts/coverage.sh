#!/usr/bin/env bash
# Line coverage of src/ (and python/) over the core tests and the Python suite:
# a -O0 --coverage build of the core, core_tests and the extension in
# build-cov, core_tests run, then pytest tests/python against that extension;
# gcovr prints the figure per folder and in total. Leaves the coverage build
# of the module in vorn_keychain/ (rebuild build-py3.N for ordinary runs).
#   scripts/coverage.sh [VENV_PYTHON]   (default: .venv-3.13/bin/python, needs gcovr in it)
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_BASEDIR="$PWD"
PY=${1:-$PWD/.venv-3.13/bin/python}
"$PY" -c 'import gcovr' 2>/dev/null || "$PY" -m pip install -q gcovr
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-cov -G Ninja -DCMAKE_MAKE_PROGRAM="$(dirname "$PY")/ninja" -DCMAKE_BUILD_TYPE=None "${launcher[@]}" \
  -DCMAKE_CXX_FLAGS="-O0 -g --coverage -fprofile-update=atomic" -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage \
  -DCMAKE_MODULE_LINKER_FLAGS=--coverage -DVORN_BUILD_TESTS=ON -DCMAKE_DISABLE_FIND_PACKAGE_nlohmann_json=ON \
  -DPython_EXECUTABLE="$PY" >/dev/null
# The module in vorn_keychain/ may come from another build folder: relink this one's.
rm -f vorn_keychain/_native*.so
cmake --build build-cov -j 2 --target core_tests _native
# Notes of sources that moved or went away would be read as files never run.
"$(dirname "$PY")/ninja" -C build-cov -t cleandead >/dev/null
find build-cov -name '*.gcno' | while read -r g; do [ -f "${g%.gcno}.o" ] || rm -f "$g"; done
find build-cov -name '*.gcda' -delete
build-cov/core_tests --gtest_brief=1
PYTHONPATH="$PWD" "$PY" -m pytest -q -p no:cacheprovider tests/python
# A source line counts once, covered when any instance of its template or
# lambda ran it (--merge-lines); without it the batch driver's lines count
# once per instantiation.
"$PY" -m gcovr --root . --object-directory build-cov --filter 'src/' --filter 'python/' --merge-lines \
  --gcov-ignore-parse-errors=negative_hits.warn_once_per_file --exclude-unreachable-branches --json-summary build-cov/coverage.json --txt build-cov/coverage.txt >/dev/null
"$PY" - build-cov/coverage.json <<'PY'
import json, sys
from collections import defaultdict
tally = defaultdict(lambda: [0, 0])
for f in json.load(open(sys.argv[1]))["files"]:
    parts = f["filename"].split("/")
    for key in [parts[0] + "/"] + (["/".join(parts[:2]) + "/"] if len(parts) > 2 else []):
        tally[key][0] += f["line_covered"]
        tally[key][1] += f["line_total"]
for key in sorted(tally):
    c, t = tally[key]
    print(f"{key:24} {c:6} / {t:6} lines  {100 * c / t:5.1f}%")
PY
echo "per file: build-cov/coverage.txt"
