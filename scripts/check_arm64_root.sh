#!/usr/bin/env bash
# Installs the aarch64 wheel into a bare Debian arm64 root and runs the tests
# there under emulation (qemu-user through binfmt_misc): the golden replay and
# the examples, and with --full the whole of tests/python (but three tests
# that emulation or the installed layout rule out), timed.
#   scripts/check_arm64_root.sh [--full] [WHEEL]
#       (default WHEEL: the one dist/*manylinux*_aarch64.whl of `scripts/wheel.sh --arch aarch64`)
# Needs root. The root is made once with
#   debootstrap --arch=arm64 --variant=minbase --include=python3.13-venv trixie
# (debootstrap's default mirror, about 5 minutes) into $VORN_ARM64_ROOT
# (default /var/cache/vorn-roots/trixie-arm64) and reused while its marker
# file .vorn-complete is there. Nothing of the build goes into it: no
# libsodium, no oneTBB, no compiler; the wheel must carry its libraries. A
# venv in it (/opt/vorn/venv) holds the wheel and the test requirements from
# PyPI; the tests run from a copy of tests/, examples/ and
# scripts/record_golden.py in /opt/vorn/tree, so the installed package is the
# one under test.
set -euo pipefail
cd "$(dirname "$0")/.."

full=0
if [ "${1:-}" = --full ]; then full=1; shift; fi
ROOTFS=${VORN_ARM64_ROOT:-/var/cache/vorn-roots/trixie-arm64}
SUITE=trixie
PY=python3.13

die() { echo "arm64 root check: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || die "run as root (binfmt_misc, debootstrap and chroot)"
if [ $# -gt 0 ]; then wheel=$1; else
  mapfile -t wheels < <(ls dist/vorn_keychain-*-manylinux*_aarch64.whl 2>/dev/null)
  [ ${#wheels[@]} -eq 1 ] || die "expected one aarch64 wheel in dist/, found ${#wheels[@]}: run scripts/wheel.sh --arch aarch64"
  wheel=${wheels[0]}
fi
[ -f "$wheel" ] || die "no wheel $wheel"

apt_install() {
  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq "$@" >/dev/null 2>&1 ||
    { apt-get -o DPkg::Lock::Timeout=600 update -qq >/dev/null 2>&1 &&
      DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq "$@" >/dev/null 2>&1; }
}

# Emulation: qemu-aarch64 registered with binfmt_misc, its interpreter
# opened at registration (flag F) so that it runs inside the chroot too.
binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/qemu-aarch64" ]; then
  [ -x /usr/libexec/qemu-binfmt/aarch64-binfmt-P ] || apt_install qemu-user-static ||
    die "cannot install qemu-user-static"
  [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt" ||
    die "cannot mount binfmt_misc at $binfmt"
  [ -e "$binfmt/qemu-aarch64" ] || sed 's/:[A-Z]*$/:FPC/' /usr/lib/binfmt.d/qemu-aarch64.conf >"$binfmt/register" ||
    die "cannot register qemu-aarch64 with binfmt_misc"
fi

if [ ! -f "$ROOTFS/.vorn-complete" ]; then
  command -v debootstrap >/dev/null || apt_install debootstrap || die "cannot install debootstrap"
  { rm -rf "$ROOTFS" && mkdir -p "$ROOTFS"; } 2>/dev/null || die "cannot make the arm64 root: $ROOTFS is not writable"
  echo "== debootstrap --arch=arm64 --variant=minbase --include=$PY-venv $SUITE $ROOTFS (log: $ROOTFS.log)"
  start=$SECONDS
  debootstrap --arch=arm64 --variant=minbase --include="$PY-venv" "$SUITE" "$ROOTFS" >"$ROOTFS.log" 2>&1 ||
    die "cannot make the arm64 root $ROOTFS: debootstrap failed ($(tail -n 1 "$ROOTFS.log")), see $ROOTFS.log"
  touch "$ROOTFS/.vorn-complete"
  echo "   made in $((SECONDS - start)) s"
fi

# /proc for the interpreter and the tests (fork, threads, /proc/self/maps);
# unmounted again however the run ends.
mounted=()
cleanup() { for m in "${mounted[@]}"; do umount "$m" || true; done; }
trap cleanup EXIT
if ! mountpoint -q "$ROOTFS/proc"; then mount -t proc proc "$ROOTFS/proc"; mounted+=("$ROOTFS/proc"); fi
inroot() { chroot "$ROOTFS" env -i PATH=/usr/bin:/bin HOME=/root LANG=C.UTF-8 PIP_CONFIG_FILE=/dev/null "$@"; }

echo "== the root: Debian $(cat "$ROOTFS/etc/debian_version") $(inroot dpkg --print-architecture)," \
  "$(inroot uname -m) under emulation, $(inroot "$PY" -c 'import sys; print(sys.version.split()[0])')"
present=$(inroot dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' |
  awk '$1 == "ii" && $2 ~ /^(libsodium|libtbb|(gcc|g\+\+|clang)(-[0-9]+)?$)/ { print $2 }')
[ -z "$present" ] || die "the root has packages the wheel must not rely on: $present"
found=$(find "$ROOTFS" -xdev \( -name 'libsodium*' -o -name 'libtbb*' \) -not -path "$ROOTFS/opt/vorn/*" | head -n 3)
[ -z "$found" ] || die "the root has files the wheel must not rely on: $found"
echo "   no libsodium, oneTBB or compiler in the root"

# The venv and the test requirements from PyPI (the package's `test` extra:
# the replay and the examples need only pytest and PyNaCl, --full all of
# it), kept from one run to the next.
reqs=$(python3 - "$full" <<'PY'
import sys, tomllib
reqs = tomllib.load(open("pyproject.toml", "rb"))["project"]["optional-dependencies"]["test"]
print(" ".join(r for r in reqs if sys.argv[1] == "1" or r.startswith(("pytest", "pynacl"))))
PY
)
venv=/opt/vorn/venv
have=" $(cat "$ROOTFS$venv/.vorn-requirements" 2>/dev/null) "
need=$(for r in $reqs; do [[ $have == *" $r "* ]] || echo "$r"; done)
if [ -n "$need" ]; then
  echo "== venv $venv with" $need "(PyPI, under emulation)"
  # The host's name servers and certificate authorities (a bare root has
  # none of the latter, and the network may pass through a proxy that only
  # the host trusts).
  cp -L /etc/resolv.conf "$ROOTFS/etc/resolv.conf"
  [ -x "$ROOTFS$venv/bin/python" ] || { rm -rf "$ROOTFS$venv"; inroot "$PY" -m venv "$venv"; }
  cp -L "${PIP_CERT:-${SSL_CERT_FILE:-/etc/ssl/certs/ca-certificates.crt}}" "$ROOTFS$venv/ca-certificates.crt"
  # shellcheck disable=SC2086
  inroot "$venv/bin/python" -m pip install -q --disable-pip-version-check --retries 2 --timeout 60 --no-compile \
    --cert "$venv/ca-certificates.crt" --only-binary=:all: $need ||
    die "cannot install the test requirements ($(echo $need)) in the arm64 root"
  echo $have $need >"$ROOTFS$venv/.vorn-requirements"
fi

echo "== pip install $(basename "$wheel")"
rm -rf "$ROOTFS/opt/vorn/wheel" "$ROOTFS/opt/vorn/tree"
mkdir -p "$ROOTFS/opt/vorn/wheel" "$ROOTFS/opt/vorn/tree/scripts" "$ROOTFS/opt/vorn/tree/tests"
cp "$wheel" "$ROOTFS/opt/vorn/wheel/"
inroot "$venv/bin/python" -m pip install -q --disable-pip-version-check --no-index --no-deps --force-reinstall \
  "/opt/vorn/wheel/$(basename "$wheel")"
cp -r tests/python tests/golden "$ROOTFS/opt/vorn/tree/tests/"
cp -r examples pyproject.toml "$ROOTFS/opt/vorn/tree/"
cp scripts/record_golden.py "$ROOTFS/opt/vorn/tree/scripts/"
inroot sh -c "cd /opt/vorn/tree && ldd $venv/lib/$PY/site-packages/vorn_keychain/_native*.so" | sed 's/^/   /'

pytest() { inroot sh -c "cd /opt/vorn/tree && $venv/bin/python -m pytest -q -p no:cacheprovider $*"; }
echo "== golden replay and examples (aarch64, emulated)"
start=$SECONDS
pytest tests/python/test_golden.py tests/python/test_examples.py
echo "   $((SECONDS - start)) s"
if [ $full = 1 ]; then
  echo "== pytest tests/python (aarch64, emulated)"
  start=$SECONDS
  # Three tests cannot hold here: qemu-user does not apply RLIMIT_AS to the
  # program it runs (no MemoryError to provoke), the stress sweep outlasts
  # its 600 s limit under emulation, and the mypy check reads the package
  # from a source tree, not from site-packages.
  pytest tests/python \
    --deselect tests/python/test_module.py::test_memory_error_leaves_the_module_usable \
    --deselect tests/python/test_stress.py::test_malformed_values_never_crash_or_raise_the_wrong_type \
    --deselect tests/python/test_stubs.py::test_mypy_accepts_stubs_package_and_examples
  echo "   whole suite: $((SECONDS - start)) s under emulation"
fi
