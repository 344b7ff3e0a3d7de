#!/usr/bin/env bash
# Copies one generated site with `harvexis-cli run JOB --quiet` and with the
# desktop program's wiring (bench_DesktopCopy: engine, job queue, job log and
# progress page on an offscreen GUI thread), from one nginx on 127.0.0.1, and
# prints for each round the wall time, CPU time (user + sys), peak memory,
# the files copied and, for the desktop, the GUI thread's CPU time and its
# largest stall.
# Everything runs in a network namespace of its own with only loopback up.
# Usage: bench/compare-desktop.sh [PAGES...]   (default 1000 5000 20000;
#        BUILD=folder picks a Release build, ROUNDS=n repeats each pair,
#        DESKTOP=binary runs another bench_DesktopCopy (an older build),
#        PERF=file records the desktop's first round with `perf record -g`)
set -euo pipefail
script=$(realpath "$0")
cd "$(dirname "$script")/.."
build=$(realpath "${BUILD:-build-rel}")
desktop=$(realpath "${DESKTOP:-$build/bench/bench_DesktopCopy}")

if [ "${HARVEXIS_DESKTOP_ISOLATED:-}" != 1 ]; then
  if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  cmake --build "$build" --target harvexis-cli bench_DesktopCopy bench_SiteGenerator >/dev/null
  export HARVEXIS_DESKTOP_ISOLATED=1 BUILD="$build" DESKTOP="$desktop"
  map=(); [ "$(id -u)" -ne 0 ] && map=(--map-root-user)
  exec unshare --net "${map[@]}" -- "$script" "$@"
fi

ip link set lo up
work=$(mktemp -d); chmod 755 "$work"
trap '[ -f "$work/nginx/nginx.pid" ] && kill "$(cat "$work/nginx/nginx.pid")"; rm -rf "$work"' EXIT
export HOME="$work/home" XDG_DATA_HOME="$work/home" HARVEXIS_DATA_DIR="$work/home/harvexis"
mkdir -p "$HARVEXIS_DATA_DIR" "$work/nginx"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$work/nginx/nginx.conf" <<EOC
user root;
worker_processes 2;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 1024; }
http { include /etc/nginx/mime.types; default_type application/octet-stream; access_log off; sendfile on;
  client_body_temp_path $work/nginx/body; proxy_temp_path $work/nginx/proxy; fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi; scgi_temp_path $work/nginx/scgi;
  server { listen 127.0.0.1:$port; root $work/site; } }
EOC
nginx -p "$work/nginx" -e "$work/nginx/error.log" -c "$work/nginx/nginx.conf"
until (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do sleep 0.1; done

timed() { /usr/bin/time -f "%e s wall, %U+%S s cpu, %M KB" -o "$work/time" "$@"; }

[ $# -gt 0 ] || set -- 1000 5000 20000
for pages in "$@"; do
  # Nothing is removed until the end: ext4 without a journal makes each new
  # file scan past the inodes freed in the last half minute, so a removal
  # would weigh on whichever copy came next. nginx serves each site in turn
  # through a link.
  "$BUILD/bench/bench_SiteGenerator" pages "$work/site-$pages" "$pages" >/dev/null
  ln -sfn "$work/site-$pages" "$work/site"
  for round in $(seq 1 "${ROUNDS:-1}"); do
    for tool in cli desktop; do
      dest="$work/dest-$pages-$round-$tool"; mkdir -p "$dest"
      "$BUILD/harvexis-cli" job create "$work/j.hcj" --url "http://127.0.0.1:$port/" --dest "$dest" \
        --set MaxDistance=-1 >/dev/null
      stall=""
      if [ $tool = cli ]; then
        timed "$BUILD/harvexis-cli" run "$work/j.hcj" --quiet >/dev/null 2>&1 || true
      elif [ -n "${PERF:-}" ] && [ "$round" = 1 ]; then
        perf record -g -o "$PERF.$pages" -- "$DESKTOP" "$work/j.hcj" >"$work/out" 2>/dev/null || true
        echo "perf data: $PERF.$pages"
        stall=$(sed -n -e 's/files done: \(.*\)/, progress page: \1/p' -e 's/GUI thread CPU: \(.*\)/, GUI thread \1 cpu/p' \
          -e 's/largest GUI thread gap: \([0-9]*\) ms.*/, stall \1 ms/p' "$work/out" | tr -d '\n')
        : >"$work/time"
      else
        timed "$DESKTOP" "$work/j.hcj" >"$work/out" 2>/dev/null || true
        stall=$(sed -n -e 's/files done: \(.*\)/, progress page: \1/p' -e 's/GUI thread CPU: \(.*\)/, GUI thread \1 cpu/p' \
          -e 's/largest GUI thread gap: \([0-9]*\) ms.*/, stall \1 ms/p' "$work/out" | tr -d '\n')
      fi
      printf '%6d pages %-7s round %d: %s, %d files%s\n' "$pages" "$tool" "$round" "$(cat "$work/time")" \
        "$(find "$dest" -type f | wc -l)" "$stall"
    done
  done
done
