#!/usr/bin/env bash
# Runs each fuzz target for a bounded time on the seed corpora; any crash,
# sanitizer report, leak or timeout fails the run and leaves its input in
# BUILD/fuzz-artifacts/. Usage: run_fuzzers.sh BUILD_DIR SECONDS [TARGET...]
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(params line_reader matcher clipboard_field searcher encoding)

python3 "$here/make_seeds.py" "$build/fuzz-seeds"
mkdir -p "$build/fuzz-artifacts"
status=0
for t in "${targets[@]}"; do
  corpus="$build/fuzz-corpus/$t"
  mkdir -p "$corpus"
  echo "== fuzz_$t for ${seconds}s"
  if ! "$build/fuzz_$t" "$corpus" "$build/fuzz-seeds/$t" -max_total_time="$seconds" \
      -timeout=10 -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1 \
      -artifact_prefix="$build/fuzz-artifacts/$t-" >"$build/fuzz-$t.log" 2>&1; then
    status=1
    echo "!! fuzz_$t found a fault:"
    tail -n 60 "$build/fuzz-$t.log"
  fi
  grep -E '^stat::number_of_executed_units|^Done ' "$build/fuzz-$t.log" || true
done
exit $status
