#!/usr/bin/env bash
# Every figure of the README's benchmark section for two trees, measured in
# one run and interleaved (before, after, after with libsodium only, and again),
# so that all sides see the same machine:
#
#   bench/before_after.sh BEFORE_TREE [AFTER_TREE]
#
# Each tree must have its core benchmarks built in build/ (-DVORN_BUILD_BENCH=ON)
# and its extension importable from the tree's root (PYTHONPATH=TREE). AFTER_TREE
# defaults to this repository. The Python is .venv/bin/python of this repository
# (VORN_PYTHON overrides).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
before=$(cd "${1:?usage: bench/before_after.sh BEFORE_TREE [AFTER_TREE]}" && pwd)
after=$(cd "${2:-$here}" && pwd)
py=${VORN_PYTHON:-$here/.venv/bin/python}

for tree in "$before" "$after"; do
  for exe in build/bench_signing_message build/bench_sign; do
    [ -x "$tree/$exe" ] || { echo "missing $tree/$exe (build with -DVORN_BUILD_BENCH=ON)" >&2; exit 1; }
  done
done

core() {
  "$1/build/bench_signing_message" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_min_time=0.2 2>/dev/null | grep -E "_median|_min" || true
  "$1/build/bench_sign" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_min_time=0.2 2>/dev/null | grep -E "_median|_min" || true
}

# The third side is the after tree with every signature through libsodium
# (VORN_KEYCHAIN_ED25519=portable), as on a processor without AVX-512 IFMA.
for round in 1 2; do
  for side in before after portable; do
    tree=$before engine=default; [ "$side" != before ] && tree=$after; [ "$side" = portable ] && engine=portable
    echo "=== round $round: $side ($tree)"
    export VORN_KEYCHAIN_ED25519=$engine
    core "$tree"
    PYTHONPATH="$tree" "$py" "$here/bench/bench_python.py"
    # The hot-path script is this tree's; it measures whichever extension
    # PYTHONPATH points at, and counts the base58 rows against the tree's src/.
    PYTHONPATH="$tree" "$py" "$here/bench/hotpath.py" --source "$tree/src" --rounds 9 \
      $([ "$round" = 2 ] && echo --skip-callgrind) $([ "$side" = before ] && echo --skip-lock)
  done
done
