#!/usr/bin/env bash
# Builds one repaired wheel per CPython >= 3.12 found (or per PYTHON given),
# into dist/. auditwheel copies the shared libraries the extension needs beyond
# the manylinux policy (libsodium, oneTBB, ...) into the wheel and tags it with
# the manylinux version the build machine's glibc allows.
#   scripts/wheel.sh [PYTHON...]
# nlohmann/json comes from PyPI (the nlohmann-json build requirement), as on a
# machine without nlohmann-json3-dev. Build folders: build-wheel/cp3N.
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_BASEDIR="$PWD"

if [ $# -gt 0 ]; then pythons=("$@"); else mapfile -t pythons < <(scripts/setup.sh --pythons); fi
[ ${#pythons[@]} -gt 0 ] || { echo "no CPython 3.12 or newer found" >&2; exit 1; }
launcher=()
command -v ccache >/dev/null && launcher=(-C cmake.define.CMAKE_CXX_COMPILER_LAUNCHER=ccache)

mkdir -p dist
for py in "${pythons[@]}"; do
  minor=$("$py" -c 'import sys; print("%d.%d" % sys.version_info[:2])')
  tag=cp${minor/./}
  venv=.venv-$minor
  scripts/setup.sh --venv "$py" "$venv"
  raw=build-wheel/$tag/raw
  rm -rf "$raw"
  CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-2} "$venv/bin/python" -m pip wheel . -q \
    --no-build-isolation --no-deps -w "$raw" -C build-dir="build-wheel/$tag/build" "${launcher[@]}" \
    -C cmake.define.CMAKE_DISABLE_FIND_PACKAGE_nlohmann_json=ON
  rm -f dist/vorn_keychain-*-"$tag"-"$tag"-*.whl
  PATH="$PWD/$venv/bin:$PATH" "$venv/bin/python" -m auditwheel repair -w dist "$raw"/*.whl >/dev/null 2>&1 ||
    PATH="$PWD/$venv/bin:$PATH" "$venv/bin/python" -m auditwheel repair -w dist "$raw"/*.whl
  wheel=$(ls dist/vorn_keychain-*-"$tag"-"$tag"-*.whl)
  echo "$wheel"
  "$venv/bin/python" - "$wheel" <<'PY'
import sys, zipfile
libs = sorted(n.rsplit("/", 1)[1] for n in zipfile.ZipFile(sys.argv[1]).namelist() if ".libs/" in n and not n.endswith("/"))
print("  bundled: " + (", ".join(libs) or "nothing"))
PY
  "$venv/bin/python" -m twine check --strict "$wheel" | sed 's/^/  /'
done
