#!/usr/bin/env bash
# Cuts ken_sample.csv and ken_sample_utf8.csv (beside this script) from KEN_ALL.CSV or KEN_ALL.CSV.xz.
# Lines are picked by their number, found with UTF-8 patterns in a converted copy (so a pattern
# never matches across a Shift-JIS character boundary), then copied byte for byte from the
# original. Usage: tests/data/cut_fixtures.sh ../shared/data/KEN_ALL.CSV.xz
set -euo pipefail
export LC_ALL=C
src=${1:?usage: cut_fixtures.sh KEN_ALL.CSV[.xz]}
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

case $src in
  *.xz) xz -dc "$src" > "$tmp/ken.csv" ;;
  *) cp "$src" "$tmp/ken.csv" ;;
esac
iconv -f CP932 -t UTF-8 "$tmp/ken.csv" > "$tmp/ken_utf8.csv"

# first N: the first N lines of standard input (reads it all, so no SIGPIPE upstream).
first() { awk -v n="$1" 'NR <= n'; }

# pick N PATTERN...: numbers of the first N lines that contain every PATTERN (fixed UTF-8 strings).
pick() {
  local n=$1 pattern
  shift
  grep -n -F -e "$1" "$tmp/ken_utf8.csv" > "$tmp/hits" || true
  shift
  for pattern in "$@"; do
    grep -F -e "$pattern" "$tmp/hits" > "$tmp/hits2" || true
    mv "$tmp/hits2" "$tmp/hits"
  done
  first "$n" < "$tmp/hits" | cut -d: -f1
}

{
  seq 1 12                                  # 北海道 札幌市中央区, incl. 以下に掲載がない場合
  awk -F, '++seen[$7] <= 3 { print NR }' "$tmp/ken_utf8.csv"   # the first 3 lines of each prefecture
  pick 6 '"北海道"' '札幌市北区'
  pick 2 '"北海道"' '北区",0'               # town names ending in 北区 (音更町 柳町北区 …)
  pick 10 '"東京都"' '"北区"'
  pick 3 '横浜市港北区'
  pick 6 '大阪市北区'
  pick 4 'OAP' '大阪市北区'                 # ASCII letters in field 6, ＯＡＰ in field 9
  pick 2 '堺市北区'
  pick 4 '"大阪府"' '北浜'                  # 大阪 and 北, but not 北区
  pick 4 '"大阪府"' '大阪市中央区'
  pick 3 '"京都府"' '大阪'                  # 大阪 outside 大阪府
  for city in 名古屋市 京都市 神戸市 岡山市 さいたま市 新潟市 熊本市; do pick 2 "${city}北区"; done
  # Double-byte characters whose second byte is 0x5C (backslash) or 0x7C (|):
  for ch in 表 ソ 能 十 予 ポ; do pick 5 "$ch"; done
  for ch in 構 申 曾 蚕 禄 箪 饅 杤; do pick 1 "$ch"; done
  # Second byte an ASCII capital / small letter: 海 (C) 階 (K) 新 (V) 森 (X) 和 (a) 北 (k) 富 (x)
  for ch in 海 階 新 森 和 富; do pick 3 "$ch"; done
  pick 3 'SS30'                             # more ASCII letters
  pick 3 'ﾀﾜｰZ'
  pick 3 'ﾀﾜｰX'
  pick 3 'ｼﾃｨAﾄｳ'
  pick 3 '"4520961"'                        # one postal code (field 3) shared by many lines
  pick 4 '（'                               # parenthesised town names
  pick 5 'レ'                               # レ (0x83 0x8C) as a character …
  # … and lines whose bytes hold 0x83 0x8C only across a character boundary
  comm -23 <(grep -n -F "$(printf '\x83\x8c')" "$tmp/ken.csv" | cut -d: -f1 | sort) \
           <(grep -n -F 'レ' "$tmp/ken_utf8.csv" | cut -d: -f1 | sort) | sort -n | first 5
  n=$(wc -l < "$tmp/ken.csv"); seq $((n - 2)) "$n"   # the last lines (沖縄県)
} | sort -n -u > "$tmp/lines"

awk 'NR == FNR { keep[$1]; next } FNR in keep' "$tmp/lines" "$tmp/ken.csv" > "$here/ken_sample.csv"
iconv -f CP932 -t UTF-8 "$here/ken_sample.csv" > "$here/ken_sample_utf8.csv"
wc -l "$here/ken_sample.csv" "$here/ken_sample_utf8.csv"
