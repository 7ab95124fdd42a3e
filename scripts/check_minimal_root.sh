#!/usr/bin/env bash
# Installs the repaired cp312-abi3 wheel into a minimal Debian root that has none of
# the build's packages (no libsodium23, no libtbb12, no compiler, no Python of
# its own) and signs the README's order example there; the signature is then
# verified outside with PyNaCl.
#   scripts/check_minimal_root.sh [WHEEL]      (default: the dist/*-cp312-abi3-*.whl of this machine from scripts/wheel.sh)
# Needs root and, on the first run only, debootstrap's default mirror: the root
# is made with `debootstrap --variant=minbase` and cached in $VORN_MINROOT
# (default /var/cache/vorn-minroot/bookworm). CPython 3.12 is pyenv's build,
# copied into the root at the same path; Debian 12's own python3 is 3.11.
set -euo pipefail
cd "$(dirname "$0")/.."

ROOTFS=${VORN_MINROOT:-/var/cache/vorn-minroot/bookworm}
SUITE=bookworm
wheel=${1:-$(ls dist/vorn_keychain-*-cp312-abi3-manylinux*_"$(uname -m)".whl 2>/dev/null | head -n1)}
[ -n "$wheel" ] && [ -f "$wheel" ] || { echo "no cp312-abi3 wheel: run scripts/wheel.sh first" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "run as root (debootstrap and chroot)" >&2; exit 1; }

if [ ! -f "$ROOTFS/.vorn-complete" ]; then
  command -v debootstrap >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
  rm -rf "$ROOTFS"
  mkdir -p "$ROOTFS"
  echo "== debootstrap --variant=minbase $SUITE into $ROOTFS"
  debootstrap --variant=minbase "$SUITE" "$ROOTFS" >"$ROOTFS.log" 2>&1 ||
    { tail -n 20 "$ROOTFS.log" >&2; exit 1; }
  touch "$ROOTFS/.vorn-complete"
fi

pyhome=$(scripts/setup.sh --pythons | awk '/\/3\.12[^/]*\/bin\/python3$/ { print; exit }')
pyhome=${pyhome%/bin/python3}
[ -n "$pyhome" ] || { echo "no pyenv CPython 3.12 to copy in" >&2; exit 1; }
if [ ! -x "$ROOTFS$pyhome/bin/python3.12" ]; then
  mkdir -p "$ROOTFS$(dirname "$pyhome")"
  cp -a "$pyhome" "$ROOTFS$pyhome"
fi

echo "== the root: $(cat "$ROOTFS/etc/debian_version"), $(chroot "$ROOTFS" dpkg-query -W -f='${binary:Package}\n' | wc -l) packages"
for p in libsodium23 libtbb12 libsodium-dev libtbb-dev python3 g++; do
  status=$(chroot "$ROOTFS" dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  case "$status" in *"install ok installed"*) echo "$p: INSTALLED"; exit 1 ;; *) echo "$p: not installed" ;; esac
done
found=$(find "$ROOTFS" -xdev \( -name 'libsodium*' -o -name 'libtbb*' \) -not -path "$ROOTFS/tmp/*" | head -n5)
[ -z "$found" ] || { echo "found in the root: $found"; exit 1; }
echo "no libsodium* or libtbb* file anywhere in the root"
echo "== shared libraries of the copied interpreter (ldd inside the root)"
chroot "$ROOTFS" ldd "$pyhome/bin/python3.12"

rm -rf "$ROOTFS/tmp/vorn"
mkdir -p "$ROOTFS/tmp/vorn"
cp "$wheel" "$ROOTFS/tmp/vorn/"
cat >"$ROOTFS/tmp/vorn/sign.py" <<'PY'
import json
import vorn_keychain as vk

order = {"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 50000.0, "size": 0.25,
         "order_type": {"type": "limit", "tif": "GTC"}}
signer = vk.Signer(vk.Keypair.from_bytes(bytes(range(1, 33))), "devnet")
tx = signer.sign(order, nonce=1700000000000000000)
prepared = vk.py_prepare_order(order, "devnet", signer.pubkey, nonce=1700000000000000000)
print(json.dumps({"module": vk._native.__file__, "signed": tx, "message_hex": prepared["message_bytes"].hex()}))
PY
echo "== inside the root: venv, pip install --no-index $(basename "$wheel"), sign"
chroot "$ROOTFS" env -i PATH=/usr/bin:/bin HOME=/tmp "$pyhome/bin/python3.12" -m venv /tmp/vorn/venv
chroot "$ROOTFS" env -i PATH=/usr/bin:/bin HOME=/tmp /tmp/vorn/venv/bin/python -m pip install -q --no-index \
  "/tmp/vorn/$(basename "$wheel")"
chroot "$ROOTFS" env -i PATH=/usr/bin:/bin HOME=/tmp sh -c \
  'cd /tmp/vorn && ldd venv/lib/python3.12/site-packages/vorn_keychain/_native*.so'
chroot "$ROOTFS" env -i PATH=/usr/bin:/bin HOME=/tmp sh -c 'cd /tmp/vorn && venv/bin/python sign.py' \
  | tee "$ROOTFS/tmp/vorn/out.json"

echo "== outside: PyNaCl verifies the signature"
verifier=$(for v in .venv-3.1*/bin/python .venv/bin/python; do [ -x "$v" ] && { echo "$v"; break; }; done)
[ -n "$verifier" ] || { echo "no venv with PyNaCl to verify with (run scripts/setup.sh --deps)" >&2; exit 1; }
"$verifier" - "$ROOTFS/tmp/vorn/out.json" <<'PY'
import json, sys
import nacl.signing

out = json.load(open(sys.argv[1]))
B58 = "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz"
def b58decode(s):
    n = 0
    for c in s:
        n = n * 58 + B58.index(c)
    raw = n.to_bytes((n.bit_length() + 7) // 8, "big")
    return b"\0" * (len(s) - len(s.lstrip("1"))) + raw
key = nacl.signing.SigningKey(bytes(range(1, 33)))
msg = bytes.fromhex(out["message_hex"])
sig = b58decode(out["signed"]["signature"])
key.verify_key.verify(msg, sig)
assert b58decode(out["signed"]["signer"]) == bytes(key.verify_key)
assert key.sign(msg).signature == sig
print(f"signature verified over the {len(msg)}-byte message; identical to PyNaCl's own signature")
PY
