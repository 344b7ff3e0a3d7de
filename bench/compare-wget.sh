#!/usr/bin/env bash
# Times harvexis-cli copy against wget --mirror --page-requisites --convert-links
# on one generated site served on 127.0.0.1, and prints both times and their ratio.
# Usage: bench/compare-wget.sh [PAGES]   (default 10000; BUILD=folder picks the build)
set -euo pipefail
cd "$(dirname "$0")/.."
pages=${1:-10000}
build=${BUILD:-build-bench}

# wget is needed by this benchmark only, so it is installed here and nowhere else.
if ! command -v wget >/dev/null; then
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get install -y wget >/dev/null
fi

if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHARVEXIS_CORE_ONLY=ON >/dev/null
fi
cmake --build "$build" --target harvexis-cli bench_SiteServer >/dev/null

work=$(mktemp -d)
cleanup() {
  [ -n "${SERVER_PID:-}" ] && kill "$SERVER_PID" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

"$build/bench/bench_SiteServer" generate "$work/site" "$pages"
# The server prints its port, then serves until its standard input closes.
coproc SERVER { exec "$build/bench/bench_SiteServer" serve "$work/site"; }
read -r port <&"${SERVER[0]}"
url="http://127.0.0.1:$port/"

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.3f", b - a }'; }

start=$(now)
HARVEXIS_DATA_DIR="$work/data" XDG_DATA_HOME="$work/data" \
  "$build/harvexis-cli" copy "$url" "$work/harvexis" --depth -1 --quiet >"$work/harvexis.log"
harvexis_time=$(elapsed "$start")

start=$(now)
(cd "$work" && mkdir -p wget && cd wget &&
  wget --mirror --page-requisites --convert-links --no-proxy -q "$url" || true)
wget_time=$(elapsed "$start")

harvexis_files=$(find "$work/harvexis" -type f | wc -l)
wget_files=$(find "$work/wget" -type f | wc -l)
printf 'site: %d pages on %s\n' "$pages" "$url"
printf 'harvexis-cli copy: %8.2f s  (%d files)\n' "$harvexis_time" "$harvexis_files"
printf 'wget --mirror:     %8.2f s  (%d files)\n' "$wget_time" "$wget_files"
awk -v h="$harvexis_time" -v w="$wget_time" 'BEGIN { printf "ratio harvexis/wget: %.2f\n", h / w }'
