#!/usr/bin/env bash
# Builds the one repaired wheel, into dist/: the extension is built against the
# stable ABI of CPython 3.12 (tag cp312-abi3), so that the same wheel installs
# on every CPython from 3.12 on. auditwheel copies the shared libraries the
# extension needs beyond the manylinux policy (libsodium, oneTBB, ...) into the
# wheel and tags it with the manylinux version the build machine's glibc allows.
#   scripts/wheel.sh [PYTHON]     (default: the oldest CPython >= 3.12 found)
#   scripts/wheel.sh --arch aarch64 [PYTHON]
# --arch aarch64 cross-builds the same wheel for aarch64 Linux on this x86-64
# machine (cmake/aarch64-linux-gnu.cmake; Debian's cross compiler, arm64
# libsodium and oneTBB and arm64 CPython headers, which
# scripts/cross_aarch64.sh installs or fetches, as root) and repairs it here
# with the arm64 libraries. Its build interpreter (default: the CPython found
# of the headers' version, 3.13) only runs the build: the module gets the
# arm64 headers. No multi-buffer signing path there: libsodium signs.
# nlohmann/json comes from PyPI (the nlohmann-json build requirement), as on a
# machine without nlohmann-json3-dev. Build folders: build-wheel/abi3,
# build-wheel/aarch64.
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_BASEDIR="$PWD"

arch=$(uname -m)
if [ "${1:-}" = --arch ]; then arch=${2:?--arch needs x86_64 or aarch64}; shift 2; fi
case $arch in
  "$(uname -m)") build=abi3; cross=() ;;
  aarch64)
    build=aarch64
    pyinc=$(scripts/cross_aarch64.sh)
    headers=$(sed -n 's/^#define PY_VERSION *"\([0-9]*\.[0-9]*\).*/\1/p' "$pyinc/patchlevel.h")
    # No interpreter hints from scikit-build-core: they would point at this
    # machine's headers.
    cross=(-C cmake.toolchain-file="$PWD/cmake/aarch64-linux-gnu.cmake" -C cmake.python-hints=false
           -C cmake.define.Python_INCLUDE_DIR="$pyinc" -C cmake.define.VORN_MULTI_BUFFER=OFF)
    # The wheel's platform tag, and where auditwheel finds the arm64 libraries.
    export _PYTHON_HOST_PLATFORM=linux-aarch64 LD_LIBRARY_PATH=/usr/lib/aarch64-linux-gnu ;;
  *) echo "cannot build for $arch here (x86_64 or aarch64)" >&2; exit 1 ;;
esac

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
  VORN_DPKG_ARCH=$(dpkg --print-architecture)
  [ "$build" = aarch64 ] && VORN_DPKG_ARCH=arm64
  export PATH="$PWD/build-wheel/dpkg:$PATH" VORN_DPKG_ARCH
fi

minor() { "$1" -c 'import sys; print("%d.%d" % sys.version_info[:2])'; }
if [ $# -gt 0 ]; then py=$1
elif [ "$build" = aarch64 ]; then
  py=$(scripts/setup.sh --pythons | while read -r p; do [ "$(minor "$p")" = "$headers" ] && { echo "$p"; break; }; done)
  [ -n "$py" ] || { echo "the aarch64 build needs a CPython $headers to run it (the arm64 headers' version)" >&2; exit 1; }
else py=$(scripts/setup.sh --pythons | head -n1)
fi
[ -n "$py" ] || { echo "no CPython 3.12 or newer found" >&2; exit 1; }
launcher=()
command -v ccache >/dev/null && launcher=(-C cmake.define.CMAKE_CXX_COMPILER_LAUNCHER=ccache)

venv=.venv-$(minor "$py")
scripts/setup.sh --venv "$py" "$venv"
[ "$build" = abi3 ] || cross+=(-C cmake.define.Python_EXECUTABLE="$PWD/$venv/bin/python")
raw=build-wheel/$build/raw
rm -rf "$raw"
mkdir -p dist
CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-2} "$venv/bin/python" -m pip wheel . -q \
  --no-build-isolation --no-deps -w "$raw" -C build-dir="build-wheel/$build/build" "${launcher[@]}" \
  -C cmake.define.CMAKE_DISABLE_FIND_PACKAGE_nlohmann_json=ON "${cross[@]}"
# The wheels of earlier builds for this architecture (one per interpreter
# version, or an older abi3 one) go.
rm -f dist/vorn_keychain-*_"$arch".whl
PATH="$PWD/$venv/bin:$PATH" "$venv/bin/python" -m auditwheel repair -w dist "$raw"/*.whl >/dev/null 2>&1 ||
  PATH="$PWD/$venv/bin:$PATH" "$venv/bin/python" -m auditwheel repair -w dist "$raw"/*.whl
wheel=$(ls dist/vorn_keychain-*-cp312-abi3-manylinux*_"$arch".whl)
echo "$wheel"
"$venv/bin/python" - "$wheel" <<'PY'
import sys, zipfile
libs = sorted(n.rsplit("/", 1)[1] for n in zipfile.ZipFile(sys.argv[1]).namelist() if ".libs/" in n and not n.endswith("/"))
print("  bundled: " + (", ".join(libs) or "nothing"))
PY
"$venv/bin/python" -m twine check --strict "$wheel" | sed 's/^/  /'
