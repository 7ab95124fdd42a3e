#!/usr/bin/env bash
# Short run of the Python-layer fuzz harness against the extension built with
# AddressSanitizer and libFuzzer coverage, then the golden replay
# (tests/python/test_golden.py) against the same module, whose action-JSON
# sinks check that keys ascend. Builds what is missing first: a venv with
# atheris, pytest and PyNaCl (build-py/venv) and the sanitized extension
# (build-asan).
#
# Usage: fuzz/python/smoke.sh [seconds]   (default 45; longer runs: pass 600)
# Environment: VORN_PY_FUZZ_DIR  working corpus (default build-py/corpus)
#              PYTHON            CPython 3.12 for the venv and the build (default .venv/bin/python, else python3)
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-45}
cd "$root"

python=${PYTHON:-}
if [[ -z $python ]]; then
  if [[ -x .venv/bin/python ]]; then python=$root/.venv/bin/python; else python=python3; fi
fi
venv=build-py/venv
if [[ ! -x $venv/bin/python ]] || ! "$venv/bin/python" -c "import atheris, pytest, nacl" 2>/dev/null; then
  "$python" -m venv "$venv"
  "$venv/bin/pip" install -q atheris pytest pynacl
fi

clang_version=$(scripts/setup.sh --fuzz-clang-version)
export VORN_FUZZ_CLANGXX="clang++-$clang_version"   # the compiler behind clang-no-vptr.sh
ninja=$(command -v ninja || echo "$(dirname "$python")/ninja")
if [[ ! -f build-asan/CMakeCache.txt ]]; then
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$root")}
  launcher=(); command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # SKBUILD keeps the module in the build folder instead of the source package.
  # The preloaded runtime has no C++ part of UBSan: the vptr and function
  # checks stay off, every other ASan and UBSan check is on.
  cmake -S . -B build-asan -G Ninja -DCMAKE_MAKE_PROGRAM="$ninja" -DCMAKE_CXX_COMPILER="$root/fuzz/python/clang-no-vptr.sh" \
    "${launcher[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORN_SANITIZE=ON -DVORN_BUILD_TESTS=OFF -DSKBUILD=ON \
    -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link -DPython_EXECUTABLE="$python" >/dev/null
fi
"$ninja" -C build-asan -j2 _native >/dev/null
# A package folder holding the sanitized module beside the package sources.
mkdir -p build-asan/pkg/vorn_keychain
for f in vorn_keychain/*; do
  [[ $f == *.so ]] || ln -sf "$root/$f" build-asan/pkg/vorn_keychain/
done
# The stable-ABI module; a per-version one left by an older build would be imported first.
rm -f build-asan/pkg/vorn_keychain/_native*.so
cp build-asan/_native.abi3.so build-asan/pkg/vorn_keychain/

site=$("$venv/bin/python" -c "import atheris, os; print(os.path.dirname(os.path.dirname(atheris.__file__)))")
corpus=${VORN_PY_FUZZ_DIR:-build-py/corpus}
mkdir -p "$corpus" build-py/artifacts
# Leaks are not checked: the interpreter keeps memory until exit by design.
export LD_PRELOAD="$site/asan_with_fuzzer.so" PYTHONMALLOC=malloc \
  ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1:abort_on_error=0 PYTHONPATH="$root/build-asan/pkg"
"$venv/bin/python" fuzz/python/fuzz_module.py -max_total_time="$seconds" -seed=1 -print_final_stats=1 \
  -artifact_prefix=build-py/artifacts/ -rss_limit_mb=4096 "$corpus" fuzz/corpus/python_module
# PYTHONSAFEPATH: the package is the sanitized one on PYTHONPATH, not the
# source tree's (python -m would put the working directory first).
PYTHONSAFEPATH=1 "$venv/bin/python" -m pytest -q -p no:cacheprovider tests/python/test_golden.py
