#!/usr/bin/env bash
# Runs the Python tests (tests/python, golden replay and examples included)
# from the one stable-ABI wheel under every CPython of 3.14 or newer that
# Debian's testing suite ships, in a minimal Debian testing root:
#   scripts/check_python_root.sh [WHEEL]   (default: the dist/*-cp312-abi3-*.whl of this machine from scripts/wheel.sh)
# Needs root and the network (PyPI; debootstrap's default mirror on the first
# run). The root is made once with
#   debootstrap --variant=minbase --include=python3.14-venv,python3.15-venv testing ROOT
# and reused while ROOT/.vorn-complete exists; ROOT is $VORN_TESTING_ROOT
# (default /var/cache/vorn-roots/testing). Inside it each interpreter gets a
# venv with the wheel and the test requirements from PyPI, and a copy of the
# tests whose vorn_keychain is the installed package. /proc is mounted in a
# private mount namespace: nothing stays mounted after the run.
set -euo pipefail
cd "$(dirname "$0")/.."

ROOTFS=${VORN_TESTING_ROOT:-/var/cache/vorn-roots/testing}
SUITE=testing
INCLUDE=python3.14-venv,python3.15-venv
# What the tests import; all of them have wheels for every interpreter run here.
REQUIREMENTS=(pytest pynacl mypy solders)

[ "$(id -u)" -eq 0 ] || { echo "check_python_root.sh: run as root (debootstrap, chroot and mount)" >&2; exit 1; }
case "$ROOTFS" in /?*) ;; *) echo "check_python_root.sh: VORN_TESTING_ROOT must be an absolute path below /" >&2; exit 1 ;; esac
if [ -z "${VORN_IN_NAMESPACE:-}" ]; then
  exec unshare --mount --propagation private env VORN_IN_NAMESPACE=1 "$0" "$@"
fi
wheel=${1:-$(ls dist/vorn_keychain-*-cp312-abi3-manylinux*_"$(uname -m)".whl 2>/dev/null | head -n1)}
[ -n "$wheel" ] && [ -f "$wheel" ] || { echo "check_python_root.sh: no cp312-abi3 wheel: run scripts/wheel.sh first" >&2; exit 1; }

mkdir -p "$(dirname "$ROOTFS")"
exec 9>"$ROOTFS.lock"
flock 9
if [ ! -f "$ROOTFS/.vorn-complete" ]; then
  if ! command -v debootstrap >/dev/null; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null 2>&1 ||
      { echo "check_python_root.sh: cannot make the Debian $SUITE root: debootstrap is missing and could not be installed" >&2; exit 1; }
  fi
  rm -rf "$ROOTFS"
  mkdir -p "$ROOTFS"
  echo "== debootstrap --variant=minbase --include=$INCLUDE $SUITE $ROOTFS (log: $ROOTFS.log)"
  debootstrap --variant=minbase --include="$INCLUDE" "$SUITE" "$ROOTFS" >"$ROOTFS.log" 2>&1 ||
    { echo "check_python_root.sh: cannot make the Debian $SUITE root in $ROOTFS: debootstrap failed, see $ROOTFS.log" >&2; exit 1; }
  touch "$ROOTFS/.vorn-complete"
fi

# Every python3.N of the root with N >= 14, oldest first.
versions=()
for p in "$ROOTFS"/usr/bin/python3.*; do
  name=${p##*/}
  [[ $name =~ ^python3\.([0-9]+)$ ]] && [ "${BASH_REMATCH[1]}" -ge 14 ] && versions+=("${BASH_REMATCH[1]}")
done
mapfile -t versions < <(printf '%s\n' "${versions[@]}" | sort -n)
[ ${#versions[@]} -gt 0 ] && [ -n "${versions[0]}" ] ||
  { echo "check_python_root.sh: the root $ROOTFS offers no CPython 3.14 or newer" >&2; exit 1; }

# Inside: name resolution, the certificate authorities pip trusts here, proc.
cp -L /etc/resolv.conf "$ROOTFS/etc/resolv.conf"
work=/tmp/vorn-check
rm -rf "${ROOTFS:?}$work"
mkdir -p "$ROOTFS$work"
ca=${PIP_CERT:-${SSL_CERT_FILE:-/etc/ssl/certs/ca-certificates.crt}}
pip_env=(PIP_CONFIG_FILE=/dev/null PIP_DISABLE_PIP_VERSION_CHECK=1)
if [ -f "$ca" ]; then
  cp "$ca" "$ROOTFS$work/ca.pem"
  pip_env+=(PIP_CERT="$work/ca.pem")
fi
mount -t proc proc "$ROOTFS/proc"
cp "$wheel" "$ROOTFS$work/"
inside() { chroot "$ROOTFS" env -i PATH=/usr/bin:/bin HOME=/tmp LANG=C.UTF-8 "${pip_env[@]}" "$@"; }

echo "== the root: Debian $(cat "$ROOTFS/etc/debian_version"); interpreters: ${versions[*]/#/python3.}"
ran=()
for n in "${versions[@]}"; do
  py=python3.$n
  tree=$work/$n
  venv=$tree/venv
  echo "== $py: venv, the test requirements, $(basename "$wheel")"
  inside "$py" -m venv "$venv"
  inside "$venv/bin/python" -m pip install -q --only-binary=:all: "${REQUIREMENTS[@]}"
  inside "$venv/bin/python" -m pip install -q --no-index --no-deps "$work/$(basename "$wheel")"
  # The tests, the examples and what they read, beside the installed package.
  mkdir -p "$ROOTFS$tree/scripts"
  cp -r tests examples pyproject.toml "$ROOTFS$tree/"
  cp scripts/record_golden.py "$ROOTFS$tree/scripts/"
  site=$(inside "$venv/bin/python" -c 'import sysconfig; print(sysconfig.get_path("purelib"))')
  ln -s "$site/vorn_keychain" "$ROOTFS$tree/vorn_keychain"
  version=$(inside "$venv/bin/python" -c 'import sys; print(sys.version.split()[0])')
  echo "== CPython $version: pytest tests/python"
  inside sh -c "cd $tree && venv/bin/python -c 'import vorn_keychain._native as m; print(\"  module:\", m.__file__)' &&
    venv/bin/python -m pytest -q -p no:cacheprovider tests/python"
  ran+=("$version")
done
echo "Python tests ran from $(basename "$wheel") under CPython ${ran[*]} (Debian $SUITE root $ROOTFS)"
