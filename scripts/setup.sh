#!/usr/bin/env bash
# Installs what is missing (Debian packages, a Python 3.12 virtual environment
# with the package and its test requirements), builds, and runs the demo.
#   scripts/setup.sh            everything, then the demo
#   scripts/setup.sh --deps     only the system packages and the venv with test requirements
#   scripts/setup.sh --fuzz-clang-version   print N of the clang-N used for the fuzzers
set -euo pipefail
cd "$(dirname "$0")/.."

DEBIAN_PACKAGES=(build-essential pkg-config libsodium-dev libtbb-dev nlohmann-json3-dev libgtest-dev libbenchmark-dev)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# The fuzzers need clang with its fuzzer and sanitizer runtimes, and a clang
# whose C++23 support enables libstdc++'s <expected> (__cpp_concepts 202002,
# clang 19 on). Prints N: the distribution's default clang when new enough,
# else the lowest clang-N on offer from that version on.
FUZZ_CLANG_MIN=19
fuzz_clang_version() {
  local v
  v=$(apt-cache show --no-all-versions clang 2>/dev/null | sed -n 's/^Version: \([0-9]*:\)\{0,1\}\([0-9]*\).*/\2/p' | head -n1)
  if [ -n "$v" ] && [ "$v" -ge "$FUZZ_CLANG_MIN" ]; then echo "$v"; return; fi
  apt-cache pkgnames clang- 2>/dev/null | sed -n 's/^clang-\([0-9][0-9]*\)$/\1/p' | sort -n |
    awk -v min="$FUZZ_CLANG_MIN" '$1 >= min { print; exit }'
}
if [ "${1:-}" = "--fuzz-clang-version" ]; then fuzz_clang_version; exit 0; fi

clang_n=$(fuzz_clang_version)
if [ -z "$clang_n" ]; then
  as_root apt-get update -qq
  clang_n=$(fuzz_clang_version)
fi
[ -n "$clang_n" ] || { echo "no clang >= $FUZZ_CLANG_MIN on offer" >&2; exit 1; }
DEBIAN_PACKAGES+=("clang-$clang_n" "libclang-rt-$clang_n-dev")

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
.venv/bin/python -m pip install -q pytest pynacl solders mypy "scikit-build-core>=0.11" cmake ninja

if [ "${1:-}" = "--deps" ]; then exit 0; fi

.venv/bin/python -m pip install -q .
.venv/bin/python examples/demo.py
