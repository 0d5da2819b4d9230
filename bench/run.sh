#!/usr/bin/env bash
# Benchmark: narvo against GNU grep (C and Shift-JIS locales) and ripgrep on KEN_ALL.CSV (12 MB)
# and on a ~1 GiB concatenation of it. See bench/README.md.
#
#   bench/run.sh [KEN_ALL.CSV or KEN_ALL.CSV.xz]      (default: ../shared/data/KEN_ALL.CSV.xz)
#
# Environment: NARVO=path  benchmark this binary instead of building build/release/narvo
#              RUNS_12MB=31 RUNS_1GB=5  timed runs per tool (the median is reported)
#              WARMUP=2  untimed runs per tool before the timed ones of each 12 MB query
#              BIG_MIB=1024  size of the large file
#              BENCH_OUT=dir  working folder (default: bench/out)
#              CXX=c++  compiler for the timer, bench/spawn_timer.cpp
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
src=${1:-$root/../shared/data/KEN_ALL.CSV.xz}
out=${BENCH_OUT:-$root/bench/out}
runs_small=${RUNS_12MB:-31}
runs_big=${RUNS_1GB:-5}
warmup=${WARMUP:-2}
big_bytes=$((${BIG_MIB:-1024} * 1024 * 1024))

say() { printf '%s\n' "$*" >&2; }
die() { say "run.sh: $*"; exit 1; }

[[ -f $src ]] || die "no data file: $src"
mkdir -p "$out"
rm -f "$out"/mismatch_*   # from an earlier run

# --- the timer: spawns each timed command itself, so that no shell start-up is timed -----------
spawn_timer=$out/spawn_timer
if ! "${CXX:-c++}" -O2 -std=c++20 -Wall -Wextra -o "$spawn_timer" "$root/bench/spawn_timer.cpp" > "$out/spawn_timer.log" 2>&1; then
  cat "$out/spawn_timer.log" >&2
  die "could not compile bench/spawn_timer.cpp with ${CXX:-c++}"
fi

# --- the program -------------------------------------------------------------------------------
if [[ -n ${NARVO:-} ]]; then
  narvo=$NARVO
  say "using NARVO=$narvo (no build)"
else
  say "building Release (log: $out/build.log)"
  if ! (cd "$root" && cmake --preset release && cmake --build --preset release) > "$out/build.log" 2>&1; then
    tail -n 30 "$out/build.log" >&2
    die "the Release build failed"
  fi
  narvo=$root/build/release/narvo
fi
[[ -x $narvo ]] || die "not executable: $narvo"

# --- the data files ----------------------------------------------------------------------------
small=$out/KEN_ALL.CSV
big=$out/KEN_ALL_1G.CSV
stamp="$(realpath "$src") $(stat -c '%s %Y' "$src")"   # which source the prepared copy is from
if [[ ! -s $small || $(cat "$small.source" 2>/dev/null) != "$stamp" ]]; then
  say "preparing $small"
  case $src in
    *.xz) xz -dc "$src" > "$small.tmp" ;;
    *) cp "$src" "$small.tmp" ;;
  esac
  mv "$small.tmp" "$small"
  printf '%s\n' "$stamp" > "$small.source"
fi
small_bytes=$(stat -c %s "$small")
copies=$(((big_bytes + small_bytes - 1) / small_bytes))
if [[ ! -f $big || $small -nt $big || $(stat -c %s "$big") -ne $((copies * small_bytes)) ]]; then
  say "preparing $big ($copies copies)"
  : > "$big.tmp"
  for ((i = 0; i < copies; i++)); do cat "$small" >> "$big.tmp"; done
  mv "$big.tmp" "$big"
fi
# Every tool reads warm files, cached the way the kernel caches any file read
# from disk: written back, dropped from the page cache and read in once. A file
# just written in small pieces (xz writes a few KiB at a time) stays cached in
# small pages, which costs every tool over a millisecond more on the 12 MB file.
sync "$small" "$big"
for f in "$small" "$big"; do dd if="$f" iflag=nocache count=0 status=none; done
cat "$small" "$big" > /dev/null

# --- the tools ---------------------------------------------------------------------------------
tools=(narvo grepC)
sjis_locale=$(locale -a 2>/dev/null | grep -i -x -E 'ja_JP\.(sjis|shiftjis|shift_jis)' | head -n 1 || true)
if [[ -n $sjis_locale ]]; then tools+=(grepSJIS); else say "no Shift-JIS locale (locale -a): grep SJIS column skipped"; fi
if command -v rg > /dev/null; then tools+=(rg); else say "ripgrep (rg) not installed: rg column skipped"; fi
timer=/usr/bin/time
[[ -x $timer ]] || { say "/usr/bin/time missing (apt-get install time): peak memory skipped"; timer=; }

# Queries: name, narvo switch, grep/rg flag, keywords (UTF-8; narvo and grep get them as Shift-JIS).
queries=(and one most exclude icase)
declare -A label=([and]='大阪 北区 (AND)' [one]='大阪府' [most]='県' [exclude]='/V 大阪' [icase]='oap (ASCII case)')
declare -A nswitch=([and]='' [one]='' [most]='' [exclude]='/V' [icase]='')
declare -A gflag=([and]='' [one]='' [most]='' [exclude]='-v' [icase]='-i')
declare -A words=([and]='大阪 北区' [one]='大阪府' [most]='県' [exclude]='大阪' [icase]='oap')

# use_query QUERY: sets the keywords of QUERY, in UTF-8 (for rg) and in Shift-JIS (narvo, grep),
# so that no conversion is timed.
use_query() {
  local w
  kw_utf8=() kw_sjis=()
  for w in ${words[$1]}; do
    kw_utf8+=("$w")
    kw_sjis+=("$(printf '%s' "$w" | iconv -f UTF-8 -t CP932)")
  done
}

# stage ARGV...: appends one program of the command, as spawn_timer takes it (count, then argv).
stage() { cmd+=("$#" "$@"); }

# command_for TOOL QUERY FILE: sets cmd (spawn_timer's stages) and loc (LC_ALL, empty to leave it
# as it is) for one search with the keywords of use_query.
command_for() {
  local tool=$1 q=$2 file=$3 flag=${gflag[$2]}
  cmd=() loc=C
  case $tool in
    narvo) stage "$narvo" "/F$file" ${nswitch[$q]:+"${nswitch[$q]}"} "${kw_sjis[@]}" ;;
    grepC | grepSJIS)
      [[ $tool == grepSJIS ]] && loc=$sjis_locale
      stage grep ${flag:+"$flag"} -F -e "${kw_sjis[0]}" "$file"
      if ((${#kw_sjis[@]} == 2)); then stage grep ${flag:+"$flag"} -F -e "${kw_sjis[1]}"; fi ;;
    rg) # rg decodes Shift-JIS to UTF-8: patterns are UTF-8, and so is its output
      loc=
      stage rg -E sjis ${flag:+"$flag"} -F -e "${kw_utf8[0]}" "$file"
      if ((${#kw_utf8[@]} == 2)); then stage rg ${flag:+"$flag"} -F -e "${kw_utf8[1]}"; fi ;;
  esac
}

# timed TOOL QUERY FILE OUTFILE: prints the wall time in microseconds, from spawning the first
# program of the command to reaping the last (see bench/spawn_timer.cpp).
timed() {
  local res rc
  command_for "$1" "$2" "$3"
  rm -f "$4"   # truncating a big old output would be timed
  if [[ -n $loc ]]; then
    res=$(LC_ALL=$loc "$spawn_timer" "$4" "$out/stderr.txt" "${cmd[@]}") || die "spawn_timer failed on $1"
  else
    res=$("$spawn_timer" "$4" "$out/stderr.txt" "${cmd[@]}") || die "spawn_timer failed on $1"
  fi
  [[ $res =~ ^[0-9]+\ [0-9]+$ ]] || die "spawn_timer printed '$res' for $1"
  rc=${res#* }
  if ((rc > 1)); then
    cat "$out/stderr.txt" >&2
    die "$1 failed (status $rc) on query ${label[$2]}, file $3"
  fi
  printf '%s' "${res%% *}"
}

median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ms() { awk -v us="$1" 'BEGIN { printf (us < 100000 ? "%.1f" : "%.0f"), us / 1000 }'; }

# --- the runs ----------------------------------------------------------------------------------
mismatches=0
rows=()
declare -A col
for file in "$small" "$big"; do
  if [[ $file == "$small" ]]; then
    runs=$runs_small warm=$warmup fname='12 MB' tag=12mb
  else
    runs=$runs_big warm=0 fname='1 GB' tag=1gb   # runs of seconds: a warm-up would change nothing
  fi
  for q in "${queries[@]}"; do
    say "timing ${label[$q]} / $fname: $runs runs of ${tools[*]}"
    use_query "$q"
    declare -A times=()
    # A few untimed runs first: each tool's program and the file's pages are
    # then as warm as they stay through the timed runs.
    for ((r = 0; r < warm; r++)); do
      for tool in "${tools[@]}"; do timed "$tool" "$q" "$file" "$out/$tool.out" > /dev/null; done
    done
    # Every tool once a run, each run starting with the next tool, so that none
    # always runs right after the same other one (rg's threads, say).
    for ((r = 0; r < runs; r++)); do
      for ((i = 0; i < ${#tools[@]}; i++)); do
        tool=${tools[(r + i) % ${#tools[@]}]}
        times[$tool]+="$(timed "$tool" "$q" "$file" "$out/$tool.out") "
      done
    done
    for tool in narvo grepC grepSJIS rg; do col[$tool]=-; done
    for tool in "${tools[@]}"; do
      # shellcheck disable=SC2086  # the list of times is split on purpose
      col[$tool]=$(median ${times[$tool]})
    done
    unset times

    # grep SJIS and rg only for information (with -i they fold more than ASCII; rg writes UTF-8).
    if [[ -f $out/grepSJIS.out ]] && ! cmp -s "$out/grepSJIS.out" "$out/grepC.out"; then
      say "note: grep SJIS differs from grep C on ${label[$q]} / $fname ($(wc -l < "$out/grepSJIS.out") vs $(wc -l < "$out/grepC.out") lines)"
    fi
    if [[ -f $out/rg.out && -f $out/grepC.out ]] && (($(wc -l < "$out/rg.out") != $(wc -l < "$out/grepC.out"))); then
      say "note: rg gives $(wc -l < "$out/rg.out") lines, grep C $(wc -l < "$out/grepC.out") on ${label[$q]} / $fname"
    fi
    # The outputs of the last run: narvo must equal grep C byte for byte.
    lines=$(wc -l < "$out/narvo.out")
    check='= grep C'
    if ! cmp -s "$out/narvo.out" "$out/grepC.out"; then
      check='**MISMATCH**'
      mismatches=$((mismatches + 1))
      say "!!!!!!!! MISMATCH: narvo and grep C differ on query ${label[$q]}, file $fname"
      say "!!!!!!!!   narvo:  $(wc -lc < "$out/narvo.out") (lines bytes)  $(sha256sum < "$out/narvo.out")"
      say "!!!!!!!!   grep C: $(wc -lc < "$out/grepC.out") (lines bytes)  $(sha256sum < "$out/grepC.out")"
      mv "$out/narvo.out" "$out/mismatch_${q}_${tag}_narvo.out"
      mv "$out/grepC.out" "$out/mismatch_${q}_${tag}_grepC.out"
    fi
    rm -f "$out"/{narvo,grepC,grepSJIS,rg}.out

    ratio=$(awk -v a="${col[narvo]}" -v b="${col[grepC]}" 'BEGIN { printf "%.2f", a / b }')
    row="| ${label[$q]} | $fname | $(ms "${col[narvo]}") | $(ms "${col[grepC]}")"
    for tool in grepSJIS rg; do
      if [[ ${col[$tool]} == - ]]; then row+=" | -"; else row+=" | $(ms "${col[$tool]}")"; fi
    done
    rows+=("$row | $ratio | $lines | $check |")
  done
done

# Peak memory of narvo on the large file, one run per query.
mem_rows=()
if [[ -n $timer ]]; then
  for q in "${queries[@]}"; do
    use_query "$q"
    LC_ALL=C "$timer" -f %M -o "$out/maxrss.txt" "$narvo" "/F$big" ${nswitch[$q]:+"${nswitch[$q]}"} "${kw_sjis[@]}" > "$out/narvo.out" || true
    rm -f "$out/narvo.out"
    kb=$(tail -n 1 "$out/maxrss.txt")
    mem_rows+=("| ${label[$q]} | $(awk -v k="$kb" 'BEGIN { printf "%.1f", k / 1024 }') |")
  done
fi

# --- the report --------------------------------------------------------------------------------
{
  echo "## narvo benchmark, $(date '+%Y-%m-%d %H:%M %Z')"
  echo
  echo "- machine: $(nproc) CPUs, $(grep -m 1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(uname -sr)"
  echo "- narvo: $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo '?')$(git -C "$root" diff --quiet HEAD 2>/dev/null || echo ' (work tree modified)'), $narvo"
  echo "- $(grep --version | sed -n 1p); $(if command -v rg > /dev/null; then rg --version | sed -n 1p; else echo 'rg absent'; fi); SJIS locale: ${sjis_locale:-absent}"
  echo "- files: 12 MB = KEN_ALL.CSV ($small_bytes bytes), 1 GB = $copies copies ($((copies * small_bytes)) bytes); median of $runs_small (after $warmup untimed) / $runs_big runs; output to a file"
  echo
  echo "| query | file | narvo ms | grep C ms | grep SJIS ms | rg ms | narvo/grep C | lines | output |"
  echo "| --- | --- | ---: | ---: | ---: | ---: | ---: | ---: | --- |"
  printf '%s\n' "${rows[@]}"
  echo
  if ((${#mem_rows[@]})); then
    echo "Peak memory of narvo on the 1 GB file (max RSS):"
    echo
    echo "| query | MiB |"
    echo "| --- | ---: |"
    printf '%s\n' "${mem_rows[@]}"
  else
    echo "Peak memory not measured: /usr/bin/time is missing (apt-get install time)."
  fi
} | tee "$out/results.md"

if ((mismatches)); then
  say "!!!!!!!! $mismatches MISMATCH(ES) between narvo and grep C: see above and $out/mismatch_*"
  exit 1
fi
