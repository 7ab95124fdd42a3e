#!/usr/bin/env bash
# Readies this x86-64 Debian machine for the aarch64 cross build and prints
# the folder of arm64 CPython headers to build against:
# - arm64 as a foreign dpkg architecture, with the cross compiler
#   (g++-aarch64-linux-gnu) and the arm64 libsodium and oneTBB development
#   packages next to the native ones (Debian multiarch);
# - the headers of Debian's arm64 CPython 3.13 (libpython3.13-dev and
#   python3.13-dev of trixie; Debian 12 has no arm64 CPython 3.12 or newer),
#   fetched once with `debootstrap --download-only` from its default mirror
#   and unpacked with dpkg-deb into $VORN_ARM64_PYTHON
#   (default /var/cache/vorn-roots/python3.13-arm64-dev).
# The extension is built against the limited API of 3.12, which these
# headers provide; nothing of this is installed into the system's include
# folders.
#   scripts/cross_aarch64.sh        (root; the first run needs the network)
set -euo pipefail

PYDEV=${VORN_ARM64_PYTHON:-/var/cache/vorn-roots/python3.13-arm64-dev}
SUITE=trixie
PYVER=3.13

apt_install() {
  # apt may be busy with another job: wait for its lock instead of failing.
  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq "$@" >/dev/null
}

if ! dpkg --print-foreign-architectures | grep -qx arm64; then
  dpkg --add-architecture arm64
  apt-get -o DPkg::Lock::Timeout=600 update -qq >/dev/null
fi
missing=()
for p in g++-aarch64-linux-gnu libsodium-dev:arm64 libtbb-dev:arm64 pkg-config; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt_install "${missing[@]}" || {
    apt-get -o DPkg::Lock::Timeout=600 update -qq >/dev/null && apt_install "${missing[@]}"; } ||
    { echo "cannot install the aarch64 cross build's packages: ${missing[*]}" >&2; exit 1; }
fi

if [ ! -f "$PYDEV/.vorn-complete" ]; then
  command -v debootstrap >/dev/null || apt_install debootstrap
  work=$(mktemp -d "${PYDEV%/*}/.pydev.XXXXXX" 2>/dev/null || { mkdir -p "${PYDEV%/*}"; mktemp -d "${PYDEV%/*}/.pydev.XXXXXX"; })
  trap 'rm -rf "$work"' EXIT
  # Only the package files are fetched (with their signatures checked);
  # nothing is installed or run.
  debootstrap --arch=arm64 --variant=minbase --download-only \
    --include="libpython$PYVER-dev,python$PYVER-dev" "$SUITE" "$work/root" >"$work/log" 2>&1 ||
    { tail -n 5 "$work/log" >&2; echo "cannot fetch Debian's arm64 CPython $PYVER headers" >&2; exit 1; }
  for deb in "$work"/root/var/cache/apt/archives/{libpython$PYVER-dev,python$PYVER-dev}_*_arm64.deb; do
    dpkg-deb -x "$deb" "$work/x"
  done
  # Only the headers are kept. Debian's pyconfig.h includes the one of the
  # build's multiarch triplet; the arm64 one takes its place so that one
  # include folder serves.
  inc=$work/x/usr/include
  cp "$inc/aarch64-linux-gnu/python$PYVER/pyconfig.h" "$inc/python$PYVER/pyconfig.h"
  rm -rf "$PYDEV"
  mkdir -p "$PYDEV"
  mv "$inc/python$PYVER" "$PYDEV/"
  touch "$PYDEV/.vorn-complete"
fi
echo "$PYDEV/python$PYVER"
