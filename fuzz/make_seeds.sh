#!/usr/bin/env bash
# Builds the seed corpora of the fuzz harnesses from the test fixtures.
#   fuzz/make_seeds.sh OUTDIR [MAXBYTES]
# OUTDIR/results_page and OUTDIR/notice_page are created (existing files are kept, so a corpus
# that grew in earlier runs goes on growing). Every seed is a fixture page behind the selector
# bytes the harness expects:
#   results_page: byte 0 picks the Content-Type header, byte 1 the walk's page count;
#   notice_page:  byte 0 picks the Content-Type header.
# Selector values (see fuzz_inputs.cpp): 0x00 no header, 0x02 gb2312, 0x04 utf-8,
# 0x0a an unknown label; 0x80 means the header is the seed's own first line.
# Pages larger than MAXBYTES (default 16384) are left out: they only slow the fuzzer down.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=${1:?usage: make_seeds.sh OUTDIR [MAXBYTES]}
max=${2:-16384}
data="$top/tests/data"

mkdir -p "$out/results_page" "$out/notice_page"

seed() { # seed FILE PREFIX_PRINTF_FORMAT PAGE
  local file=$1 prefix=$2 page=$3
  { printf "$prefix"; cat "$page"; } >"$file"
}

count=0
for page in "$data"/pages/*.html "$data"/browser/*.html; do
  [ -f "$page" ] || continue
  size=$(stat -c %s "$page")
  if [ "$size" -gt "$max" ]; then
    continue
  fi
  name=$(basename "$(dirname "$page")")_$(basename "$page" .html)
  # results pages: no header, gb2312 and utf-8 headers; page counts 5.5 (walked) and 76
  seed "$out/results_page/${name}_none" '\x00\x0a' "$page"
  seed "$out/results_page/${name}_gb2312" '\x02\x0a' "$page"
  seed "$out/results_page/${name}_utf8" '\x04\x97' "$page"
  seed "$out/results_page/${name}_ownheader" '\x80\x0atext/html; charset=GBK\n' "$page"
  # the notice reader reads any page
  seed "$out/notice_page/${name}_none" '\x00' "$page"
  seed "$out/notice_page/${name}_unknown" '\x0a' "$page"
  count=$((count + 1))
done

# Small hand-made notice pages: anchors up to the last label and past it, the update notice.
printf '\x00<html><body><a href="http://a.test/" title="t">A</a><a href="/b">BB</a><input id="VersionDesc" value="1.2"></body></html>' \
  >"$out/notice_page/handmade_two_links"
{
  printf '\x04<html><body>'
  for i in $(seq 1 12); do printf '<a href="/l%d">link %d</a>' "$i" "$i"; done
  printf '<div id=VersionDesc>0</div></body></html>'
} >"$out/notice_page/handmade_twelve_links"

echo "seeded $count pages into $out"
