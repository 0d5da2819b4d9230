#!/usr/bin/env bash
# Benchmark: narvo (native mode, and a UTF-8 console on the Shift-JIS file and on a UTF-8 copy)
# against GNU grep (C and Shift-JIS locales), ripgrep and nkf | grep on KEN_ALL.CSV (12 MB) and on
# a ~1 GiB concatenation of it, beside two floors: read()+memchr and cat. See bench/README.md.
#
#   bench/run.sh [KEN_ALL.CSV or KEN_ALL.CSV.xz]      (default: ../shared/data/KEN_ALL.CSV.xz)
#
# Environment: NARVO=path  benchmark this binary instead of building build/release/narvo
#              RUNS_12MB=31 RUNS_1GB=5  timed runs per tool (the median is reported)
#              WARMUP=2  untimed runs per tool before the timed ones of each 12 MB query
#              BIG_MIB=1024  size of the large file
#              CACHE=small   time the files as cached when just written in small pieces
#              BENCH_OUT=dir  working folder (default: bench/out)
#              CXX=c++  compiler for the timer and the read floor (bench/*.cpp)
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
read_floor=$out/read_floor
for helper in spawn_timer read_floor; do
  if ! "${CXX:-c++}" -O2 -std=c++20 -Wall -Wextra -o "$out/$helper" "$root/bench/$helper.cpp" > "$out/$helper.log" 2>&1; then
    cat "$out/$helper.log" >&2
    die "could not compile bench/$helper.cpp with ${CXX:-c++}"
  fi
done

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
# The same files in UTF-8, as Japan Post also ships KEN_ALL.CSV.
small_u8=$out/KEN_ALL_UTF8.CSV
big_u8=$out/KEN_ALL_1G_UTF8.CSV
if [[ ! -s $small_u8 || $small -nt $small_u8 ]]; then
  say "preparing $small_u8"
  iconv -f CP932 -t UTF-8 "$small" > "$small_u8.tmp" && mv "$small_u8.tmp" "$small_u8"
fi
if [[ ! -f $big_u8 || $small_u8 -nt $big_u8 || $(stat -c %s "$big_u8") -ne $((copies * $(stat -c %s "$small_u8"))) ]]; then
  say "preparing $big_u8 ($copies copies)"
  : > "$big_u8.tmp"
  for ((i = 0; i < copies; i++)); do cat "$small_u8" >> "$big_u8.tmp"; done
  mv "$big_u8.tmp" "$big_u8"
fi
declare -A utf8_copy=(["$small"]=$small_u8 ["$big"]=$big_u8)
# Every tool reads warm files, cached the way the kernel caches any file read
# from disk: written back, dropped from the page cache and read in once. A file
# just written in small pieces (xz writes a few KiB at a time) stays cached in
# small pages, which costs every tool over a millisecond more on the 12 MB file.
# CACHE=small measures the other state: each file written anew 4 KiB at a time.
if [[ ${CACHE:-read} == small ]]; then
  for f in "$small" "$big" "$small_u8" "$big_u8"; do
    dd if="$f" of="$f.small" bs=4k status=none && touch -r "$f" "$f.small" && mv "$f.small" "$f"
  done
else
  sync "$small" "$big" "$small_u8" "$big_u8"
  for f in "$small" "$big" "$small_u8" "$big_u8"; do dd if="$f" iflag=nocache count=0 status=none; done
  cat "$small" "$big" "$small_u8" "$big_u8" > /dev/null
fi

# --- the tools ---------------------------------------------------------------------------------
# narvo: native mode (LC_ALL=C); narvoU8: a UTF-8 console on the Shift-JIS file; narvoU8u: the
# same on the UTF-8 copy. readFloor and catFloor: the floors, timed in the same runs.
tools=(narvo narvoU8 narvoU8u grepC)
sjis_locale=$(locale -a 2>/dev/null | grep -i -x -E 'ja_JP\.(sjis|shiftjis|shift_jis)' | head -n 1 || true)
if [[ -n $sjis_locale ]]; then tools+=(grepSJIS); else say "no Shift-JIS locale (locale -a): grep SJIS column skipped"; fi
if command -v rg > /dev/null; then tools+=(rg); else say "ripgrep (rg) not installed: rg column skipped"; fi
if command -v nkf > /dev/null; then tools+=(nkf); else say "nkf not installed: nkf | grep column skipped"; fi
tools+=(readFloor catFloor)
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
    narvoU8 | narvoU8u) # a UTF-8 terminal: keywords typed in UTF-8, lines written in UTF-8
      loc=C.UTF-8
      [[ $tool == narvoU8u ]] && file=${utf8_copy[$file]}
      stage "$narvo" "/F$file" ${nswitch[$q]:+"${nswitch[$q]}"} "${kw_utf8[@]}" ;;
    nkf) # what a Linux user would otherwise type: convert, then grep the UTF-8
      loc=C.UTF-8
      stage nkf -w "$file"
      stage grep ${flag:+"$flag"} -F -e "${kw_utf8[0]}"
      if ((${#kw_utf8[@]} == 2)); then stage grep ${flag:+"$flag"} -F -e "${kw_utf8[1]}"; fi ;;
    readFloor) stage "$read_floor" "$file" ;;
    catFloor) stage cat "$file" ;;
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
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

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
        # nkf converts at some 30 MB/s: one run of it on the large file is plenty.
        [[ $tool == nkf && $tag == 1gb ]] && ((r > 0)) && continue
        times[$tool]+="$(timed "$tool" "$q" "$file" "$out/$tool.out") "
      done
    done
    for tool in narvo narvoU8 narvoU8u grepC grepSJIS rg nkf readFloor catFloor; do col[$tool]=-; done
    for tool in "${tools[@]}"; do
      # shellcheck disable=SC2086  # the list of times is split on purpose
      col[$tool]=$(median ${times[$tool]})
    done
    unset times

    # grep SJIS and rg only for information (with -i they fold more than ASCII; rg writes UTF-8).
    if [[ -f $out/grepSJIS.out ]] && ! cmp -s "$out/grepSJIS.out" "$out/grepC.out"; then
      say "note: grep SJIS differs from grep C on ${label[$q]} / $fname ($(wc -l < "$out/grepSJIS.out") vs $(wc -l < "$out/grepC.out") lines)"
    fi
    for tool in rg nkf; do
      if [[ -f $out/$tool.out && -f $out/grepC.out ]] && (($(wc -l < "$out/$tool.out") != $(wc -l < "$out/grepC.out"))); then
        say "note: $tool gives $(wc -l < "$out/$tool.out") lines, grep C $(wc -l < "$out/grepC.out") on ${label[$q]} / $fname"
      fi
    done
    # The outputs of the last run: narvo must equal grep C byte for byte.
    lines=$(wc -l < "$out/narvo.out")
    check='= grep C'
    if ! cmp -s "$out/narvo.out" "$out/grepC.out"; then
      check='**MISMATCH**'
      mismatches=$((mismatches + 1))
      say "!!!!!!!! MISMATCH: narvo and grep C differ on query ${label[$q]}, file $fname"
      say "!!!!!!!!   narvo:  $(wc -lc < "$out/narvo.out") (lines bytes)  $(sha256sum < "$out/narvo.out")"
      say "!!!!!!!!   grep C: $(wc -lc < "$out/grepC.out") (lines bytes)  $(sha256sum < "$out/grepC.out")"
      cp "$out/narvo.out" "$out/mismatch_${q}_${tag}_narvo.out"
      cp "$out/grepC.out" "$out/mismatch_${q}_${tag}_grepC.out"
    fi
    # On a UTF-8 console narvo must write grep C's lines in UTF-8, from either file.
    iconv -f CP932 -t UTF-8 "$out/grepC.out" > "$out/expected_utf8.out"
    for tool in narvoU8 narvoU8u; do
      if ! cmp -s "$out/$tool.out" "$out/expected_utf8.out"; then
        check='**MISMATCH**'
        mismatches=$((mismatches + 1))
        say "!!!!!!!! MISMATCH: $tool and grep C in UTF-8 differ on query ${label[$q]}, file $fname"
        mv "$out/$tool.out" "$out/mismatch_${q}_${tag}_$tool.out"
      fi
    done
    rm -f "$out"/{narvo,narvoU8,narvoU8u,grepC,grepSJIS,rg,nkf,readFloor,catFloor,expected_utf8}.out

    row="| ${label[$q]} | $fname"
    for tool in narvo narvoU8 narvoU8u grepC grepSJIS rg nkf readFloor catFloor; do
      if [[ ${col[$tool]} == - ]]; then row+=" | -"; else row+=" | $(ms "${col[$tool]}")"; fi
    done
    row+=" | $(ratio "${col[narvo]}" "${col[grepC]}") | $(ratio "${col[narvo]}" "${col[readFloor]}")"
    row+=" | $(ratio "${col[narvo]}" "${col[catFloor]}") | $(ratio "${col[narvoU8]}" "${col[narvo]}")"
    rows+=("$row | $lines | $check |")
  done
done

# Peak memory of narvo on the large file, one run per query.
mem_rows=()
if [[ -n $timer ]]; then
  for q in "${queries[@]}"; do
    use_query "$q"
    LC_ALL=C "$timer" -f %M -o "$out/maxrss.txt" "$narvo" "/F$big" ${nswitch[$q]:+"${nswitch[$q]}"} "${kw_sjis[@]}" > "$out/narvo.out" || true
    kb=$(tail -n 1 "$out/maxrss.txt")
    LC_ALL=C.UTF-8 "$timer" -f %M -o "$out/maxrss.txt" "$narvo" "/F$big" ${nswitch[$q]:+"${nswitch[$q]}"} "${kw_utf8[@]}" > "$out/narvo.out" || true
    kb_u8=$(tail -n 1 "$out/maxrss.txt")
    rm -f "$out/narvo.out"
    mem_rows+=("| ${label[$q]} | $(awk -v k="$kb" 'BEGIN { printf "%.1f", k / 1024 }') | $(awk -v k="$kb_u8" 'BEGIN { printf "%.1f", k / 1024 }') |")
  done
fi

# --- the report --------------------------------------------------------------------------------
{
  echo "## narvo benchmark, $(date '+%Y-%m-%d %H:%M %Z')"
  echo
  echo "- machine: $(nproc) CPUs, $(grep -m 1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(uname -sr)"
  echo "- narvo: $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo '?')$(git -C "$root" diff --quiet HEAD 2>/dev/null || echo ' (work tree modified)'), $narvo"
  echo "- $(grep --version | sed -n 1p); $(if command -v rg > /dev/null; then rg --version | sed -n 1p; else echo 'rg absent'; fi); $(if command -v nkf > /dev/null; then nkf --version | sed -n 1p; else echo 'nkf absent'; fi); SJIS locale: ${sjis_locale:-absent}"
  echo "- files: 12 MB = KEN_ALL.CSV ($small_bytes bytes), 1 GB = $copies copies ($((copies * small_bytes)) bytes); median of $runs_small (after $warmup untimed) / $runs_big runs; output to a file; page cache: $([[ ${CACHE:-read} == small ]] && echo 'as written 4 KiB at a time' || echo 'as read from disk')"
  echo
  echo "| query | file | narvo ms | UTF-8 console ms | UTF-8 console, UTF-8 file ms | grep C ms | grep SJIS ms | rg -E sjis ms | nkf -w \| grep ms | read floor ms | cat floor ms | narvo/grep C | narvo/read floor | narvo/cat floor | UTF-8 console/narvo | lines | output |"
  echo "| --- | --- | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | --- |"
  printf '%s\n' "${rows[@]}"
  echo
  if ((${#mem_rows[@]})); then
    echo "Peak memory of narvo on the 1 GB file (max RSS):"
    echo
    echo "| query | native MiB | UTF-8 console MiB |"
    echo "| --- | ---: | ---: |"
    printf '%s\n' "${mem_rows[@]}"
  else
    echo "Peak memory not measured: /usr/bin/time is missing (apt-get install time)."
  fi
} | tee "$out/results.md"

if ((mismatches)); then
  say "!!!!!!!! $mismatches MISMATCH(ES) between narvo and grep C: see above and $out/mismatch_*"
  exit 1
fi
