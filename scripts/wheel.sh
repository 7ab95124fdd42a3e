#!/usr/bin/env bash
# Builds one repaired wheel per CPython >= 3.12 found (or per PYTHON given),
# into dist/. auditwheel copies the shared libraries the extension needs beyond
# the manylinux policy (libsodium, oneTBB, ...) into the wheel and tags it with
# the manylinux version the build machine's glibc allows.
#   scripts/wheel.sh [PYTHON...]
#   scripts/wheel.sh --arch aarch64 [PYTHON]
# --arch aarch64 cross-builds the wheel for aarch64 Linux on this x86-64
# machine (cmake/aarch64-linux-gnu.cmake, Debian's cross compiler and arm64
# packages, Debian's arm64 CPython headers: scripts/cross_aarch64.sh readies
# them, as root) and repairs it here with the arm64 libsodium and oneTBB;
# the build's interpreter (default: the CPython 3.13 found) must have the
# headers' version. Build folder: build-wheel/aarch64.
# nlohmann/json comes from PyPI (the nlohmann-json build requirement), as on a
# machine without nlohmann-json3-dev. Build folders: build-wheel/cp3N.
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_BASEDIR="$PWD"

# Where dpkg knows a second architecture (arm64 for the aarch64 build), a
# library's package name alone is ambiguous to `dpkg -s`; auditwheel asks that
# way for the package versions of the SBOM it writes into the wheel, and
# leaves the SBOM out when the query fails. This dpkg, first on the path,
# answers such a query for the architecture being built.
if command -v dpkg >/dev/null; then
  mkdir -p build-wheel/dpkg
  cat >build-wheel/dpkg/dpkg <<SH
#!/bin/sh
if [ "\$1" = -s ] && [ \$# -eq 2 ] && ! $(command -v dpkg) -s "\$2" >/dev/null 2>&1; then
  exec $(command -v dpkg) -s "\$2:\$VORN_DPKG_ARCH"
fi
exec $(command -v dpkg) "\$@"
SH
  chmod +x build-wheel/dpkg/dpkg
  export PATH="$PWD/build-wheel/dpkg:$PATH" VORN_DPKG_ARCH="$(dpkg --print-architecture)"
fi

arch=$(uname -m)
if [ "${1:-}" = --arch ]; then arch=${2:?--arch needs x86_64 or aarch64}; shift 2; fi
case $arch in
  "$(uname -m)") ;;
  aarch64) ;;
  *) echo "cannot build for $arch here (x86_64 or aarch64)" >&2; exit 1 ;;
esac

if [ $# -gt 0 ]; then pythons=("$@"); else mapfile -t pythons < <(scripts/setup.sh --pythons); fi
[ ${#pythons[@]} -gt 0 ] || { echo "no CPython 3.12 or newer found" >&2; exit 1; }
launcher=()
command -v ccache >/dev/null && launcher=(-C cmake.define.CMAKE_CXX_COMPILER_LAUNCHER=ccache)

mkdir -p dist

# Prints the wheel, what auditwheel bundled into it and twine's verdict.
report() {
  echo "$2"
  "$1" - "$2" <<'PY'
import sys, zipfile
libs = sorted(n.rsplit("/", 1)[1] for n in zipfile.ZipFile(sys.argv[1]).namelist() if ".libs/" in n and not n.endswith("/"))
print("  bundled: " + (", ".join(libs) or "nothing"))
PY
  "$1" -m twine check --strict "$2" | sed 's/^/  /'
}

if [ "$arch" = aarch64 ]; then
  pyinc=$(scripts/cross_aarch64.sh)
  headers=$(sed -n 's/^#define PY_VERSION *"\([0-9]*\.[0-9]*\).*/\1/p' "$pyinc/patchlevel.h")
  py=
  for p in "${pythons[@]}"; do
    [ "$("$p" -c 'import sys; print("%d.%d" % sys.version_info[:2])')" = "$headers" ] && { py=$p; break; }
  done
  [ -n "$py" ] || { echo "the aarch64 build needs a CPython $headers interpreter (the arm64 headers' version)" >&2; exit 1; }
  venv=.venv-$headers
  scripts/setup.sh --venv "$py" "$venv"
  raw=build-wheel/aarch64/raw
  rm -rf "$raw"
  # No interpreter hints from scikit-build-core: they would point at this
  # machine's headers; the arm64 ones are given instead.
  _PYTHON_HOST_PLATFORM=linux-aarch64 CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-2} \
    "$venv/bin/python" -m pip wheel . -q --no-build-isolation --no-deps -w "$raw" \
    -C build-dir=build-wheel/aarch64/build "${launcher[@]}" \
    -C cmake.toolchain-file="$PWD/cmake/aarch64-linux-gnu.cmake" -C cmake.python-hints=false \
    -C cmake.define.Python_EXECUTABLE="$PWD/$venv/bin/python" -C cmake.define.Python_INCLUDE_DIR="$pyinc" \
    -C cmake.define.CMAKE_DISABLE_FIND_PACKAGE_nlohmann_json=ON -C cmake.define.VORN_MULTI_BUFFER=OFF
  rm -f dist/vorn_keychain-*_aarch64.whl
  # auditwheel reads the arm64 libraries from their multiarch folder.
  export LD_LIBRARY_PATH=/usr/lib/aarch64-linux-gnu VORN_DPKG_ARCH=arm64
  PATH="$PWD/$venv/bin:$PATH" "$venv/bin/python" -m auditwheel repair -w dist "$raw"/*.whl >/dev/null 2>&1 ||
    PATH="$PWD/$venv/bin:$PATH" "$venv/bin/python" -m auditwheel repair -w dist "$raw"/*.whl
  report "$venv/bin/python" "$(ls dist/vorn_keychain-*_aarch64.whl)"
  exit 0
fi
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
