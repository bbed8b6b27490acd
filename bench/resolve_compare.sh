#!/usr/bin/env bash
# quelpath-resolve beside what a user would otherwise write: a shell loop of curl piped to a
# text filter applying the same recipe, and a short Python script with urllib. One local
# server (Python's http.server on 127.0.0.1) serves every ~200 KiB page to all three.
#   bench/resolve_compare.sh BUILD_DIR   (BUILD_DIR/cli/quelpath-resolve must exist)
set -euo pipefail
build="${1:?build dir}"
resolve="$build/cli/quelpath-resolve"
work=$(mktemp -d)
trap 'kill $server 2>/dev/null; rm -rf "$work"' EXIT

python3 - "$work" <<'PY'
import sys, os
d = sys.argv[1]
filler = ("<div class=\"item\">文件分享页面，请稍候。网盘用户名：</div>\n" * 4000)[: 200 * 1024]
for i in range(200):
    page = filler + f"转存到我的百度云<a href=\"https://d.example/{i}?a=1&amp;b=2\">下载</a>"
    open(os.path.join(d, f"p{i}.html"), "w", encoding="utf-8").write(page)
PY
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
(cd "$work" && exec python3 -m http.server "$port" --bind 127.0.0.1 > /dev/null 2>&1) &
server=$!
for _ in $(seq 50); do curl -s -o /dev/null "http://127.0.0.1:$port/p0.html" && break; sleep 0.1; done

cat > "$work/resolve.py" <<'PY'
import sys, urllib.request
for line in sys.stdin:
    page = urllib.request.urlopen(line.strip(), timeout=60).read().decode("utf-8", "replace")
    page = page.rsplit("转存到我的百度云", 1)[1] if "转存到我的百度云" in page else ""
    page = page.split("下载", 1)[0] if "下载" in page else ""
    low = page.lower()
    i = low.find('href="')
    link = ""
    if i >= 0:
        j = page.find('"', i + 6)
        link = page[i + 6 : j] if j >= 0 else ""
    import re
    print(re.sub("amp;", "", link, flags=re.I))
PY
filter='s/.*转存到我的百度云//s; s/下载.*//s; if (/href="([^"]*)"/i) { $_ = $1; s/amp;//gi; print "$_\n" } else { print "\n" }'

seconds() { local s=$(date +%s.%N); "$@" > /dev/null; echo "$(date +%s.%N) - $s" | bc; }
for n in 20 200; do
  seq 0 $((n - 1)) | sed "s|^|http://127.0.0.1:$port/p|; s|$|.html|" > "$work/list$n"
  q=$(seconds sh -c "'$resolve' < '$work/list$n'")
  c=$(seconds sh -c "while read -r u; do curl -s \"\$u\" | perl -0777 -ne '$filter'; done < '$work/list$n'")
  p=$(seconds sh -c "python3 '$work/resolve.py' < '$work/list$n'")
  printf '%4d addresses: quelpath-resolve %.3fs  curl+perl loop %.3fs (%.2fx)  python urllib %.3fs (%.2fx)\n' \
    "$n" "$q" "$c" "$(echo "$c / $q" | bc -l)" "$p" "$(echo "$p / $q" | bc -l)"
done
# Same output from all three, as a check that they do the same work.
"$resolve" < "$work/list20" | md5sum
while read -r u; do curl -s "$u" | perl -0777 -ne "$filter"; done < "$work/list20" | md5sum
python3 "$work/resolve.py" < "$work/list20" | md5sum
