#!/usr/bin/env bash
# Times the HTML report's 显示全部 on the 32,767-site table in headless Chromium, three runs:
# from the click on the checkbox to the first rows laid out, the longest the page is held
# (one frame), and until every row is shown and laid out.
#
#   bench/export/show_all_in_chromium.sh BUILD_DIR
#
# The page is written by bench_export; a copy of it gets a timing script instead of its
# Content-Security-Policy (which admits only the report's own script). Needs chromium.
set -euo pipefail
build=${1:?usage: show_all_in_chromium.sh BUILD_DIR}
browser=$(command -v chromium || command -v chromium-browser || true)
[ -n "$browser" ] || { echo "show_all_in_chromium: no chromium" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
"$build/bench/export/bench_export" "$work/report.html" >/dev/null
python3 - "$work/report.html" "$work/timed.html" <<'PY'
import re, sys
page = open(sys.argv[1], encoding="utf-8").read()
page = re.sub(r'<meta http-equiv="Content-Security-Policy"[^>]*>', "", page)
timer = ("<script>window.addEventListener('load',function(){var box=document.querySelector('input.all');"
         "var t=document.querySelector('table.sites');document.body.offsetHeight;"
         "var t0=performance.now(),last=t0,max=0;box.click();document.body.offsetHeight;var first=performance.now()-t0;"
         "(function watch(){var now=performance.now();if(now-last>max)max=now-last;last=now;"
         "var all=Array.prototype.every.call(t.tBodies,function(b){return getComputedStyle(b).display!=='none';});"
         "if(!all){requestAnimationFrame(watch);return;}document.body.offsetHeight;"
         "document.title='show-all: first rows '+first.toFixed(0)+' ms, longest frame '+Math.max(max,first).toFixed(0)"
         "+' ms, all '+t.rows.length+' rows '+(performance.now()-t0).toFixed(0)+' ms';})();});</script>")
open(sys.argv[2], "w", encoding="utf-8").write(page.replace("</body>", timer + "</body>"))
PY
for run in 1 2 3; do
  title=$("$browser" --headless --no-sandbox --disable-gpu --virtual-time-budget=120000 --dump-dom "file://$work/timed.html" 2>/dev/null \
    | grep -o '<title>show-all[^<]*' | sed 's/<title>//')
  echo "run $run: $title"
done
