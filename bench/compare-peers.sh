#!/usr/bin/env bash
# Copies generated sites with harvexis-cli, wget2 and wget, each from one nginx
# on 127.0.0.1, audits every copy for broken links offline, and prints one
# table of wall time, user and system CPU time, peak memory, files and broken
# links, with the ratios harvexis/wget2 and harvexis/wget.
# Everything runs in a network namespace of its own with only loopback up, so
# no request can leave the machine (the refused-links site names fictitious
# hosts under .test and .invalid; none may ever be asked for).
# Usage: bench/compare-peers.sh [PAGES...]   (default 5000 20000, plus the
#        refused-links site of 2000 pages; BUILD=folder picks the build,
#        CLI=file another harvexis-cli, such as an older build to compare)
set -euo pipefail
script=$(realpath "$0")
cd "$(dirname "$script")/.."
audit="$PWD/bench/audit_links.py"
build=${BUILD:-build-bench}
cli=$(realpath "${CLI:-$build/harvexis-cli}")
refused_pages=2000

if [ "${HARVEXIS_PEERS_ISOLATED:-}" != 1 ]; then
  # The peers, the server and GNU time are needed by this benchmark only, so
  # they are installed here and nowhere else.
  missing=()
  command -v nginx >/dev/null || missing+=(nginx)
  command -v wget >/dev/null || missing+=(wget)
  command -v wget2 >/dev/null || missing+=(wget2)
  [ -x /usr/bin/time ] || missing+=(time)
  command -v ip >/dev/null || missing+=(iproute2)
  if [ ${#missing[@]} -gt 0 ]; then
    sudo=(); [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
  if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHARVEXIS_CORE_ONLY=ON >/dev/null
  fi
  cmake --build "$build" --target harvexis-cli bench_SiteGenerator >/dev/null
  export HARVEXIS_PEERS_ISOLATED=1
  # A new network namespace (mapping the user to root there when not root):
  # only the loopback device exists in it.
  map=(); [ "$(id -u)" -ne 0 ] && map=(--map-root-user)
  exec unshare --net "${map[@]}" -- "$script" "$@"
fi

ip link set lo up
unset http_proxy https_proxy ftp_proxy all_proxy no_proxy HTTP_PROXY HTTPS_PROXY FTP_PROXY ALL_PROXY NO_PROXY
[ $# -gt 0 ] || set -- 5000 20000
work=$(mktemp -d)
chmod 755 "$work"
cleanup() {
  [ -f "$work/nginx/nginx.pid" ] && kill "$(cat "$work/nginx/nginx.pid")" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# The tools keep their settings and histories here, never in the real home.
export HOME="$work/home" XDG_DATA_HOME="$work/home" HARVEXIS_DATA_DIR="$work/home/harvexis"
mkdir -p "$HOME" "$work/nginx"

# An ephemeral port: asked of the system, then handed to nginx (no other
# program listens in this namespace).
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
user_line=""; [ "$(id -u)" -eq 0 ] && user_line="user root;"
cat >"$work/nginx/nginx.conf" <<EOF
$user_line
worker_processes 2;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 1024; }
http {
  include /etc/nginx/mime.types;
  default_type application/octet-stream;
  access_log off;
  sendfile on;
  tcp_nodelay on;
  gzip on;
  gzip_types text/css;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  server {
    listen 127.0.0.1:$port;
    root $work/site;
  }
}
EOF
nginx -p "$work/nginx" -e "$work/nginx/error.log" -c "$work/nginx/nginx.conf"
until (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do sleep 0.1; done
url="http://127.0.0.1:$port/"

# Runs one copier into DEST under GNU time; prints "wall user sys peak-MB
# files links broken" (links: the relative links of its pages that were audited).
measure() {
  local dest=$1; shift
  mkdir -p "$dest"
  /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" >"$work/tool.log" 2>&1 || true
  local files audited
  files=$(find "$dest" -type f ! -name '.harvexis*' | wc -l)
  audited=$(python3 "$audit" "$dest")
  tail -n 1 "$work/time" | awk -v f="$files" -v a="$audited" \
    '{ split(a, l); printf "%.2f %.2f %.2f %.1f %d %d %d\n", $1, $2, $3, $4 / 1024, f, l[2], l[3] }'
}

row() { printf '%-22s %-9s %9s %9s %9s %9s %8s %8s %8s\n' "$@"; }
row site tool "wall s" "user s" "sys s" "peak MB" files links broken
for site in "${@/#/pages:}" "refused-links:$refused_pages"; do
  kind=${site%%:*}; pages=${site##*:}
  # Nothing is removed until the end: ext4 without a journal makes each new
  # file scan past the inodes freed in the last half minute, so a removal
  # would weigh on whichever copier came next. nginx serves the site through
  # a link that each site takes over in turn.
  "$build/bench/bench_SiteGenerator" "$kind" "$work/site-$kind-$pages" "$pages"
  chmod -R a+rX "$work/site-$kind-$pages"
  ln -sfn "$work/site-$kind-$pages" "$work/site"
  copies="$work/copies-$kind-$pages"
  name="$kind $pages"
  h=$(measure "$copies/harvexis" "$cli" copy "$url" "$copies/harvexis" \
        --depth -1 --save-queries --quiet)
  w2=$(mkdir -p "$copies" && cd "$copies" && measure wget2 wget2 --mirror --convert-links --page-requisites \
        --adjust-extension --no-parent --max-threads=4 -q -P wget2 "$url")
  w=$(cd "$copies" && measure wget wget --no-config --mirror --convert-links --page-requisites \
        --adjust-extension --no-parent -q -P wget "$url")
  row "$name" harvexis $h
  row "$name" wget2 $w2
  row "$name" wget $w
  for peer in wget2 wget; do
    other=$([ $peer = wget2 ] && echo "$w2" || echo "$w")
    ratios=$(awk -v a="$h" -v b="$other" 'BEGIN {
      split(a, x); split(b, y)
      for (i = 1; i <= 3; ++i) r[i] = y[i] > 0 ? sprintf("%.2f", x[i] / y[i]) : "-"
      print r[1], r[2], r[3] }')
    row "$name" "h/$peer" $ratios "" "" "" ""
  done
done
