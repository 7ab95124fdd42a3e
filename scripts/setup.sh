#!/usr/bin/env bash
# Installs what is missing (Debian packages, a Python 3.12 virtual environment
# with the package and its test requirements), builds, and runs the demo.
#   scripts/setup.sh            everything, then the demo
#   scripts/setup.sh --deps     only the system packages and the venv with test requirements
set -euo pipefail
cd "$(dirname "$0")/.."

DEBIAN_PACKAGES=(build-essential pkg-config libsodium-dev libtbb-dev nlohmann-json3-dev libgtest-dev libbenchmark-dev)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${DEBIAN_PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

find_python312() {
  if [ -n "${VORN_PYTHON:-}" ]; then echo "$VORN_PYTHON"; return; fi
  if command -v pyenv >/dev/null 2>&1; then
    for p in "$(pyenv root)"/versions/3.12*/bin/python3.12; do
      [ -x "$p" ] && { echo "$p"; return; }
    done
  fi
  command -v python3.12 && return
  echo "no Python 3.12 found (set VORN_PYTHON)" >&2
  exit 1
}

if [ ! -x .venv/bin/python ] || ! .venv/bin/python -c 'import sys; sys.exit(sys.version_info[:2] != (3, 12))'; then
  rm -rf .venv
  "$(find_python312)" -m venv .venv
fi
.venv/bin/python -m pip install -q --upgrade pip >/dev/null
.venv/bin/python -m pip install -q pytest pynacl solders scikit-build-core cmake ninja

if [ "${1:-}" = "--deps" ]; then exit 0; fi

.venv/bin/python -m pip install -q .
.venv/bin/python examples/demo.py
