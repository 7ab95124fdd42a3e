#!/usr/bin/env bash
# Builds the one repaired wheel, into dist/: the extension is built against the
# stable ABI of CPython 3.12 (tag cp312-abi3), so that the same wheel installs
# on every CPython from 3.12 on. auditwheel copies the shared libraries the
# extension needs beyond the manylinux policy (libsodium, oneTBB, ...) into the
# wheel and tags it with the manylinux version the build machine's glibc allows.
#   scripts/wheel.sh [PYTHON]     (default: the oldest CPython >= 3.12 found)
# nlohmann/json comes from PyPI (the nlohmann-json build requirement), as on a
# machine without nlohmann-json3-dev. Build folder: build-wheel/abi3.
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_BASEDIR="$PWD"

py=${1:-$(scripts/setup.sh --pythons | head -n1)}
[ -n "$py" ] || { echo "no CPython 3.12 or newer found" >&2; exit 1; }
launcher=()
command -v ccache >/dev/null && launcher=(-C cmake.define.CMAKE_CXX_COMPILER_LAUNCHER=ccache)

minor=$("$py" -c 'import sys; print("%d.%d" % sys.version_info[:2])')
venv=.venv-$minor
scripts/setup.sh --venv "$py" "$venv"
raw=build-wheel/abi3/raw
rm -rf "$raw"
mkdir -p dist
CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-2} "$venv/bin/python" -m pip wheel . -q \
  --no-build-isolation --no-deps -w "$raw" -C build-dir="build-wheel/abi3/build" "${launcher[@]}" \
  -C cmake.define.CMAKE_DISABLE_FIND_PACKAGE_nlohmann_json=ON
# The wheels of earlier builds (one per interpreter version, or an older abi3 one) go.
rm -f dist/vorn_keychain-*.whl
PATH="$PWD/$venv/bin:$PATH" "$venv/bin/python" -m auditwheel repair -w dist "$raw"/*.whl >/dev/null 2>&1 ||
  PATH="$PWD/$venv/bin:$PATH" "$venv/bin/python" -m auditwheel repair -w dist "$raw"/*.whl
wheel=$(ls dist/vorn_keychain-*-cp312-abi3-manylinux*.whl)
echo "$wheel"
"$venv/bin/python" - "$wheel" <<'PY'
import sys, zipfile
libs = sorted(n.rsplit("/", 1)[1] for n in zipfile.ZipFile(sys.argv[1]).namelist() if ".libs/" in n and not n.endswith("/"))
print("  bundled: " + (", ".join(libs) or "nothing"))
PY
"$venv/bin/python" -m twine check --strict "$wheel" | sed 's/^/  /'
