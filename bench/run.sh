#!/usr/bin/env bash
# Benchmark: narvo against another narvo (BASE=, the build before), the two timed in turn in the
# same run, in native mode and on a UTF-8 console, beside the floors no filter can beat
# (read()+memchr, read()+write()) and GNU grep, on KEN_ALL.CSV (12 MB) and on 40 copies of it
# (489 MB), in one of three page-cache states. See bench/README.md.
#
#   bench/run.sh [KEN_ALL.CSV or KEN_ALL.CSV.xz]      (default: ../shared/data/KEN_ALL.CSV.xz)
#
# Environment: NARVO=path  benchmark this binary instead of building build/release/narvo
#              BASE=path   time this other narvo beside it, in turn, with a column now ÷ base
#              CACHE=readback|copied|small  page-cache state of the files (default readback)
#              RUNS_12MB=31 RUNS_BIG=7  timed runs per tool (the median is reported)
#              WARMUP=2  untimed runs per tool before the timed ones of each 12 MB query
#              COPIES=40  copies of KEN_ALL.CSV in the large file
#              AGAIN_ABOVE=1.03  a row whose now ÷ base is above it is timed again
#              BENCH_OUT=dir  working folder (default: bench/out)
#              CXX=c++  compiler for the timer and the floors (bench/*.cpp)
#              NICE=-20  run in a session of its own at this nice value (root; a shared machine)
set -euo pipefail

# Nice alone changes nothing against other sessions where the kernel groups tasks by session
# (autogroup): the session's group gets the nice value instead.
if [[ -n ${NICE:-} && -z ${NICE_SESSION:-} ]]; then NICE_SESSION=1 exec setsid --wait "$0" "$@"; fi
[[ -z ${NICE:-} ]] || echo "$NICE" 2> /dev/null > "/proc/$$/autogroup" || renice -n "$NICE" -p $$ > /dev/null

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
src=${1:-$root/../shared/data/KEN_ALL.CSV.xz}
out=${BENCH_OUT:-$root/bench/out}
runs_small=${RUNS_12MB:-31}
runs_big=${RUNS_BIG:-7}
warmup=${WARMUP:-2}
copies=${COPIES:-40}
again_above=${AGAIN_ABOVE:-1.03}
cache=${CACHE:-readback}
base=${BASE:-}

say() { printf '%s\n' "$*" >&2; }
die() { say "run.sh: $*"; exit 1; }

[[ -f $src ]] || die "no data file: $src"
[[ $cache =~ ^(readback|copied|small)$ ]] || die "CACHE must be readback, copied or small, not '$cache'"
mkdir -p "$out"
rm -f "$out"/mismatch_*   # from an earlier run

# --- the timer and the floors ------------------------------------------------------------------
# The timer spawns each timed command itself, so that no shell start-up is timed. The floors are
# static, as narvo is: none of them loads anything at run time.
compile() {
  "${CXX:-c++}" -O2 -std=c++20 -Wall -Wextra "${@:2}" -o "$out/$1" "$root/bench/$1.cpp" > "$out/$1.log" 2>&1 ||
    { cat "$out/$1.log" >&2; die "could not compile bench/$1.cpp with ${CXX:-c++}"; }
}
compile spawn_timer
compile read_floor -static
compile copy_floor -static
spawn_timer=$out/spawn_timer

# --- the programs ------------------------------------------------------------------------------
if [[ -n ${NARVO:-} ]]; then
  narvo=$NARVO
  say "using NARVO=$narvo (no build)"
else
  say "building Release (log: $out/build.log)"
  if ! (cd "$root" && cmake --preset release && cmake --build --preset release -j2) > "$out/build.log" 2>&1; then
    tail -n 30 "$out/build.log" >&2
    die "the Release build failed"
  fi
  narvo=$root/build/release/narvo
fi
[[ -x $narvo ]] || die "not executable: $narvo"
[[ -z $base || -x $base ]] || die "BASE is not executable: $base"

# --- the data files ----------------------------------------------------------------------------
small=$out/KEN_ALL.CSV
big=$out/KEN_ALL_BIG.CSV
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
# The same in UTF-8, as Japan Post also ships KEN_ALL.CSV.
small_u8=$out/KEN_ALL_UTF8.CSV
big_u8=$out/KEN_ALL_BIG_UTF8.CSV
if [[ ! -s $small_u8 || $small -nt $small_u8 ]]; then
  say "preparing $small_u8"
  iconv -f CP932 -t UTF-8 "$small" > "$small_u8.tmp" && mv "$small_u8.tmp" "$small_u8"
fi
# concatenate ONE MANY: MANY becomes $copies copies of ONE, unless it is already.
concatenate() {
  if [[ ! -f $2 || $1 -nt $2 || $(stat -c %s "$2") -ne $((copies * $(stat -c %s "$1"))) ]]; then
    say "preparing $2 ($copies copies)"
    : > "$2.tmp"
    for ((i = 0; i < copies; i++)); do cat "$1" >> "$2.tmp"; done
    touch -r "$1" "$2.tmp" && mv "$2.tmp" "$2"
  fi
}
concatenate "$small" "$big"
concatenate "$small_u8" "$big_u8"
declare -A utf8_copy=(["$small"]=$small_u8 ["$big"]=$big_u8)

# settle FILE...: puts the files' pages in the page-cache state CACHE. The way a file came into
# the cache can change what reading it costs, every reader alike (see README).
# - readback: written back, dropped (fadvise through dd, or the whole cache where pages stay)
#   and read in once, as the kernel's read-ahead caches any file read from disk;
# - copied: written anew by cp, as a file just copied or unpacked;
# - small: written anew 4 KiB at a time.
# The copies are written back before the timed runs, so that no write-back of them is timed.
settle() {
  local f
  case $cache in
    readback)
      sync "$@"
      for f; do dd if="$f" iflag=nocache count=0 status=none; done
      if command -v fincore > /dev/null && fincore -n -b -o RES "$@" | grep -q -v '^0$'; then
        echo 1 2> /dev/null > /proc/sys/vm/drop_caches || say "warning: could not drop the cached pages of $*"
      fi
      cat "$@" > /dev/null ;;
    copied | small)
      for f; do
        if [[ $cache == copied ]]; then cp "$f" "$f.new"; else dd if="$f" of="$f.new" bs=4k status=none; fi
        touch -r "$f" "$f.new" && mv "$f.new" "$f"
      done
      sync "$@" ;;
  esac
}
say "page-cache state: $cache"
settle "$small" "$big" "$small_u8" "$big_u8"

# --- the tools ---------------------------------------------------------------------------------
# narvo: native mode (LC_ALL=C); narvoU8: a UTF-8 console on the Shift-JIS file; narvoU8u: the
# same on the UTF-8 copy. With BASE, each of these three is a pair: TOOL runs this narvo and
# TOOL_base the other, back to back. readFloor, copyFloor (and copyFloorU8, over the UTF-8
# console's own output) and cat: the floors, timed in the same runs.
pairs=(narvo narvoU8 narvoU8u)
tools=(narvo narvoU8 narvoU8u grepC)
sjis_locale=$(locale -a 2>/dev/null | grep -i -x -E 'ja_JP\.(sjis|shiftjis|shift_jis)' | head -n 1 || true)
if [[ -n $sjis_locale ]]; then tools+=(grepSJIS); else say "no Shift-JIS locale (locale -a): grep SJIS column skipped"; fi
if command -v rg > /dev/null; then tools+=(rg); else say "ripgrep (rg) not installed: rg column skipped"; fi
if command -v nkf > /dev/null; then tools+=(nkf); else say "nkf not installed: nkf | grep column skipped"; fi
tools+=(readFloor copyFloor copyFloorU8 cat)
timer=/usr/bin/time
[[ -x $timer ]] || { say "/usr/bin/time missing (apt-get install time): peak memory skipped"; timer=; }
# The main table's columns, in this order.
table_tools=(narvo readFloor copyFloor cat narvoU8 copyFloorU8 narvoU8u grepC)
for tool in grepSJIS rg nkf; do [[ " ${tools[*]} " == *" $tool "* ]] && table_tools+=("$tool"); done
declare -A col_head=([narvo]='narvo ms' [readFloor]='read floor ms' [copyFloor]='copy floor ms'
  [cat]='cat ms' [narvoU8]='UTF-8 console ms' [copyFloorU8]='copy floor of its output ms'
  [narvoU8u]='UTF-8 console, UTF-8 file ms' [grepC]='grep C ms' [grepSJIS]='grep SJIS ms'
  [rg]='rg -E sjis ms' [nkf]='nkf -w \| grep ms')

# Queries: name, narvo switch, grep/rg flag, keywords (UTF-8; narvo and grep get them as Shift-JIS).
queries=(and one most exclude icase)
declare -A label=([and]='大阪 北区 (AND)' [one]='大阪府' [most]='県' [exclude]='/V 大阪' [icase]='oap (ASCII case)')
declare -A nswitch=([and]='' [one]='' [most]='' [exclude]='/V' [icase]='')
declare -A gflag=([and]='' [one]='' [most]='' [exclude]='-v' [icase]='-i')
declare -A words=([and]='大阪 北区' [one]='大阪府' [most]='県' [exclude]='大阪' [icase]='oap')
declare -A dense=([most]=1 [exclude]=1)   # the queries that select most lines

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
  local tool=${1%_base} q=$2 file=$3 flag=${gflag[$2]} prog=$narvo
  [[ $1 == *_base ]] && prog=$base
  cmd=() loc=C
  case $tool in
    narvo) stage "$prog" "/F$file" ${nswitch[$q]:+"${nswitch[$q]}"} "${kw_sjis[@]}" ;;
    narvoU8 | narvoU8u) # a UTF-8 terminal: keywords typed in UTF-8, lines written in UTF-8
      loc=C.UTF-8
      [[ $tool == narvoU8u ]] && file=${utf8_copy[$file]}
      stage "$prog" "/F$file" ${nswitch[$q]:+"${nswitch[$q]}"} "${kw_utf8[@]}" ;;
    nkf) # what a Linux user would otherwise type: convert, then grep the UTF-8
      loc=C.UTF-8
      stage nkf -w "$file"
      stage grep ${flag:+"$flag"} -F -e "${kw_utf8[0]}"
      if ((${#kw_utf8[@]} == 2)); then stage grep ${flag:+"$flag"} -F -e "${kw_utf8[1]}"; fi ;;
    readFloor) stage "$out/read_floor" "$file" ;;
    copyFloor) stage "$out/copy_floor" "$file" ;;
    copyFloorU8) stage "$out/copy_floor" "$out/utf8_output.txt" ;;
    cat) stage cat "$file" ;;
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

# one_run TOOL QUERY FILE keep|drop: times one run of TOOL (see bench/spawn_timer.cpp) and adds
# its wall time in microseconds to times[TOOL] (and sets last_us, and last_cpu to its CPU time).
# The output is deleted at once unless kept for the check (the floors' never are): outputs of
# hundreds of MB left in the page cache would make the kernel write them back during later runs.
one_run() {
  local res rc
  command_for "$1" "$2" "$3"
  rm -f "$out/$1.out"   # truncating a big old output would be timed
  if [[ -n $loc ]]; then
    res=$(LC_ALL=$loc "$spawn_timer" "$out/$1.out" "$out/stderr.txt" "${cmd[@]}") || die "spawn_timer failed on $1"
  else
    res=$("$spawn_timer" "$out/$1.out" "$out/stderr.txt" "${cmd[@]}") || die "spawn_timer failed on $1"
  fi
  [[ $res =~ ^([0-9]+)\ ([0-9]+)\ ([0-9]+)$ ]] || die "spawn_timer printed '$res' for $1"
  last_us=${BASH_REMATCH[1]} rc=${BASH_REMATCH[2]} last_cpu=$((BASH_REMATCH[3] + 1))
  if ((rc > 1)); then
    cat "$out/stderr.txt" >&2
    die "$1 failed (status $rc) on query ${label[$2]}, file $3"
  fi
  times[$1]+="$last_us "
  [[ $4 == keep && $1 != *Floor* && $1 != cat ]] || rm -f "$out/$1.out"
}

# round R QUERY FILE keep|drop TOOL...: each TOOL once, starting with the R-th, so that none always
# runs right after the same other one. A pair's two programs run back to back, this one first in
# even rounds and the base first in odd ones; ratios[TOOL] gets the pair's now ÷ base, in wall
# time, and cpu_ratios[TOOL] in CPU time.
round() {
  local r=$1 q=$2 file=$3 keep=$4 i tool first first_cpu order
  shift 4
  local list=("$@")
  for ((i = 0; i < ${#list[@]}; i++)); do
    tool=${list[(r + i) % ${#list[@]}]}
    # nkf converts at some 30 MB/s: one run of it on the large file is plenty.
    [[ $tool == nkf && $file == "$big" ]] && ((r > 0)) && continue
    if [[ -z $base || " ${pairs[*]} " != *" $tool "* ]]; then
      one_run "$tool" "$q" "$file" "$keep"
      continue
    fi
    if ((r % 2)); then order=("${tool}_base" "$tool"); else order=("$tool" "${tool}_base"); fi
    one_run "${order[0]}" "$q" "$file" "$keep"
    first=$last_us first_cpu=$last_cpu
    one_run "${order[1]}" "$q" "$file" "$keep"
    if ((r % 2)); then
      ratios[$tool]+="$(ratio "$last_us" "$first" %.4f) " cpu_ratios[$tool]+="$(ratio "$last_cpu" "$first_cpu") "
    else
      ratios[$tool]+="$(ratio "$first" "$last_us" %.4f) " cpu_ratios[$tool]+="$(ratio "$first_cpu" "$last_cpu") "
    fi
  done
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ms() { awk -v us="$1" 'BEGIN { printf (us < 100000 ? "%.1f" : "%.0f"), us / 1000 }'; }
ratio() { awk -v a="$1" -v b="$2" -v f="${3:-%.2f}" 'BEGIN { printf f, a / b }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
above() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }

# The goals, each with its limit (empty: reported only) and its worst value over the rows.
goals=(base read copy u8rare u8dense grep mem)
declare -A goal_text=([base]="now ÷ base, every row and mode (timed again above $again_above)"
  [read]='native rare query ÷ read floor' [copy]='native 県, /V 大阪 ÷ copy floor'
  [u8rare]='UTF-8 console rare query ÷ native' [u8dense]='UTF-8 console 県 ÷ copy floor of its output'
  [grep]='narvo ÷ grep C' [mem]='peak memory on the large file, native and UTF-8 console (MiB)')
declare -A goal_limit=([base]=$again_above [read]=1.15 [copy]=1.25 [u8rare]=1.10 [u8dense]="" [grep]=1.00 [mem]=2.0)
declare -A worst=() worst_at=()
# goal NAME VALUE WHERE: keeps the largest VALUE of goal NAME and where it was measured.
goal() {
  if [[ -z ${worst[$1]:-} ]] || above "$2" "${worst[$1]}"; then worst[$1]=$2 worst_at[$1]=$3; fi
}
declare -A mode=([narvo]='native' [narvoU8]='UTF-8 console' [narvoU8u]='UTF-8 console, UTF-8 file')

# --- the runs ----------------------------------------------------------------------------------
mismatches=0
base_rows=() rows=() mem_rows=() regressions=()
declare -A times=() ratios=() cpu_ratios=() rss=() col=()
for file in "$small" "$big"; do
  if [[ $file == "$small" ]]; then
    runs=$runs_small warm=$warmup fname='12 MB' tag=12mb
  else   # runs of a tenth of a second and more: a warm-up would change nothing
    runs=$runs_big warm=0 fname="$(($(stat -c %s "$big") / 1000000)) MB" tag=big
  fi
  for q in "${queries[@]}"; do
    say "timing ${label[$q]} / $fname: $runs runs of ${tools[*]}${base:+ (narvo and BASE in turn)}"
    use_query "$q"
    # The UTF-8 console's output, for copyFloorU8 to copy, cached as the files are.
    LC_ALL=C.UTF-8 "$narvo" "/F$file" ${nswitch[$q]:+"${nswitch[$q]}"} "${kw_utf8[@]}" > "$out/utf8_output.txt" || true
    settle "$out/utf8_output.txt"
    # A few untimed runs first: each tool's program and the file's pages are
    # then as warm as they stay through the timed runs.
    for ((r = 0; r < warm; r++)); do round "$r" "$q" "$file" drop "${tools[@]}"; done
    times=() ratios=() cpu_ratios=() rss=() col=()
    for ((r = 0; r < runs; r++)); do
      keep=drop
      ((r == runs - 1)) && keep=keep   # the outputs of the last run are checked
      round "$r" "$q" "$file" "$keep" "${tools[@]}"
    done
    for tool in "${!times[@]}"; do
      # shellcheck disable=SC2086  # the list of times is split on purpose
      col[$tool]=$(median ${times[$tool]})
    done

    # grep SJIS, rg and nkf only for information (with -i they fold more than ASCII; rg and nkf
    # write UTF-8): their line counts.
    for tool in grepSJIS rg nkf; do
      if [[ -f $out/$tool.out ]] && (($(wc -l < "$out/$tool.out") != $(wc -l < "$out/grepC.out"))); then
        say "note: $tool gives $(wc -l < "$out/$tool.out") lines, grep C $(wc -l < "$out/grepC.out") on ${label[$q]} / $fname"
      fi
    done
    # The outputs of the last run: narvo's (and the base's) must equal grep C's byte for byte, on a
    # UTF-8 console grep C's converted to UTF-8, from either file.
    lines=$(wc -l < "$out/narvo.out")
    check='= grep C'
    iconv -f CP932 -t UTF-8 "$out/grepC.out" > "$out/expected_utf8.out"
    for tool in "${pairs[@]}" ${base:+"${pairs[@]/%/_base}"}; do
      expected=$out/expected_utf8.out
      [[ ${tool%_base} == narvo ]] && expected=$out/grepC.out
      if ! cmp -s "$out/$tool.out" "$expected"; then
        check='**MISMATCH**'
        mismatches=$((mismatches + 1))
        say "!!!!!!!! MISMATCH: $tool and grep C differ on query ${label[$q]}, file $fname"
        say "!!!!!!!!   $tool: $(wc -lc < "$out/$tool.out") (lines bytes)  $(sha256sum < "$out/$tool.out")"
        say "!!!!!!!!   expected: $(wc -lc < "$expected") (lines bytes)  $(sha256sum < "$expected")"
        cp "$out/$tool.out" "$out/mismatch_${q}_${tag}_$tool.out"
        cp "$expected" "$out/mismatch_${q}_${tag}_${tool}_expected.out"
      fi
    done
    rm -f "$out"/*.out "$out/utf8_output.txt"

    # now ÷ base: the median of the pairs' ratios. A mode above the limit is timed again, its pair
    # alone; above it twice, it is a regression.
    if [[ -n $base ]]; then
      row="| ${label[$q]} | $fname"
      for tool in "${pairs[@]}"; do
        # shellcheck disable=SC2086
        first=$(median ${ratios[$tool]}) final=$first cell="$(printf %.2f "$first") (CPU $(median ${cpu_ratios[$tool]}))"
        if above "$first" "$again_above"; then
          say "now ÷ base $(printf %.3f "$first") for ${mode[$tool]}: timing it again"
          ratios[$tool]='' cpu_ratios[$tool]=''
          for ((r = 0; r < runs; r++)); do round "$r" "$q" "$file" drop "$tool"; done
          # shellcheck disable=SC2086
          final=$(median ${ratios[$tool]}) cell+=", again $(printf %.2f "$final") (CPU $(median ${cpu_ratios[$tool]}))"
          if above "$final" "$again_above"; then
            regressions+=("${mode[$tool]} ${label[$q]} / $fname: now ÷ base $cell")
          fi
        fi
        goal base "$final" "${mode[$tool]} ${label[$q]} / $fname"
        row+=" | $(ms "${col[$tool]}") | $(ms "${col[${tool}_base]}") | $cell"
      done
      base_rows+=("$row |")
    fi

    where="${label[$q]} / $fname"
    if [[ -n ${dense[$q]:-} ]]; then
      goal copy "$(ratio "${col[narvo]}" "${col[copyFloor]}")" "$where"
    else
      goal read "$(ratio "${col[narvo]}" "${col[readFloor]}")" "$where"
      goal u8rare "$(ratio "${col[narvoU8]}" "${col[narvo]}")" "$where"
    fi
    [[ $q == most ]] && goal u8dense "$(ratio "${col[narvoU8]}" "${col[copyFloorU8]}")" "$where"
    goal grep "$(ratio "${col[narvo]}" "${col[grepC]}")" "$where"
    row="| ${label[$q]} | $fname"
    for tool in "${table_tools[@]}"; do
      if [[ -n ${col[$tool]:-} ]]; then row+=" | $(ms "${col[$tool]}")"; else row+=" | -"; fi
    done
    row+=" | $(ratio "${col[narvo]}" "${col[readFloor]}") | $(ratio "${col[narvo]}" "${col[copyFloor]}")"
    row+=" | $(ratio "${col[narvoU8]}" "${col[narvo]}") | $(ratio "${col[narvoU8]}" "${col[copyFloorU8]}")"
    rows+=("$row | $(ratio "${col[narvo]}" "${col[grepC]}") | $lines | $check |")

    # Peak memory on the large file, from one more run of each program under /usr/bin/time (not
    # spawn_timer's: posix_spawn's child shares the timer's memory until exec, and the kernel
    # counts that in the child's peak).
    if [[ $file == "$big" && -n $timer ]]; then
      row="| ${label[$q]}"
      for tool in "${pairs[@]}" ${base:+"${pairs[@]/%/_base}"}; do
        command_for "$tool" "$q" "$file"
        LC_ALL=$loc "$timer" -f %M -o "$out/maxrss.txt" "${cmd[@]:1}" > "$out/memory.out" || true
        rss[$tool]=$(mib "$(tail -n 1 "$out/maxrss.txt")")
      done
      rm -f "$out/memory.out"
      for tool in "${pairs[@]}"; do row+=" | ${rss[$tool]}${base:+ | ${rss[${tool}_base]}}"; done
      goal mem "${rss[narvo]}" "native ${label[$q]}"
      goal mem "${rss[narvoU8]}" "UTF-8 console ${label[$q]}"
      mem_rows+=("$row |")
    fi
  done
done

# --- the report --------------------------------------------------------------------------------
declare -A cache_text=([readback]='read back from disk (dropped, then read once)'
  [copied]='just written by cp' [small]='just written 4 KiB at a time')
{
  echo "## narvo benchmark, $(date '+%Y-%m-%d %H:%M %Z'), page cache: ${cache_text[$cache]}"
  echo
  echo "- machine: $(nproc) CPUs, $(grep -m 1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(uname -sr); load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "- now: $(git -C "$root" log -1 --format=%h -- . ':!bench' 2>/dev/null || echo '?') (last commit outside bench/)$(git -C "$root" diff --quiet HEAD -- . ':!bench' 2>/dev/null || echo ', work tree modified'), $narvo"
  [[ -n $base ]] && echo "- base: $base"
  echo "- $(grep --version | sed -n 1p); $(if command -v rg > /dev/null; then rg --version | sed -n 1p; else echo 'rg absent'; fi); $(if command -v nkf > /dev/null; then nkf --version | sed -n 1p; else echo 'nkf absent'; fi); SJIS locale: ${sjis_locale:-absent}"
  echo "- files: 12 MB = KEN_ALL.CSV ($(stat -c %s "$small") bytes), large = $copies copies ($(stat -c %s "$big") bytes); median of $runs_small runs (after $warmup untimed) / $runs_big runs; output to a file"
  echo
  if [[ -n $base ]]; then
    echo "| query | file | native ms | base ms | now ÷ base | UTF-8 console ms | base ms | now ÷ base | UTF-8 console, UTF-8 file ms | base ms | now ÷ base |"
    echo "| --- | --- | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: |"
    printf '%s\n' "${base_rows[@]}"
    echo
  fi
  header="| query | file"
  for tool in "${table_tools[@]}"; do header+=" | ${col_head[$tool]}"; done
  echo "$header | narvo ÷ read floor | narvo ÷ copy floor | UTF-8 console ÷ narvo | UTF-8 console ÷ copy floor of its output | narvo ÷ grep C | lines | output |"
  echo "| --- | --- |$(printf ' ---: |%.0s' "${table_tools[@]}") ---: | ---: | ---: | ---: | ---: | ---: | --- |"
  printf '%s\n' "${rows[@]}"
  echo
  echo "Peak memory on the large file (max RSS, MiB):"
  echo
  if [[ -n $timer ]]; then
    header="| query" rule="| ---"
    for tool in "${pairs[@]}"; do header+=" | ${mode[$tool]}${base:+ | base}" rule+=" | ---:${base:+ | ---:}"; done
    printf '%s\n' "$header |" "$rule |" "${mem_rows[@]}"
  else
    echo "Not measured: /usr/bin/time is missing (apt-get install time)."
  fi
  echo
  echo "| goal | limit | worst | where | met |"
  echo "| --- | ---: | ---: | --- | --- |"
  for g in "${goals[@]}"; do
    [[ -n ${worst[$g]:-} ]] || continue
    limit=${goal_limit[$g]} met='(reported only)'
    if [[ -n $limit ]]; then if above "${worst[$g]}" "$limit"; then met='**no**'; else met=yes; fi; fi
    echo "| ${goal_text[$g]} | ${limit:--} | $(printf %.2f "${worst[$g]}") | ${worst_at[$g]} | $met |"
  done
  if ((${#regressions[@]})); then
    echo
    echo "Regressions (now ÷ base above $again_above twice):"
    echo
    printf -- '- %s\n' "${regressions[@]}"
  fi
} | tee "$out/results-$cache.md"

if ((mismatches)); then
  say "!!!!!!!! $mismatches MISMATCH(ES) between narvo and grep C: see above and $out/mismatch_*"
  exit 1
fi
