#!/usr/bin/env bash
# Installing a full encrypted update package of 2,000 files (about 25 MB) from a loopback server:
# our code (download task, then the package installer's decryption, unpack and swap on its worker
# thread; bench/update_install.cpp) beside the shell pipeline on the same package, interleaved in
# one run: `curl` to a file, `openssl enc -d -aes-128-cbc`, `unzip` into a fresh folder, `mv` it in
# place of the old one. Prints the median of each (REPETITIONS runs, default 7), the ratio, our
# peak resident memory during the install against the idle process, and the longest stall of
# our main loop during the download and install (a 10 ms timer's longest gap, less 10 ms; the
# largest of all runs).
#
#   bench/update_install.sh          (BUILD_DIR=build)
source "$(dirname "$0")/common.sh"
BIN="$BUILD_DIR/bench/update_install"
require_built "$BIN"
for tool in python3 curl openssl unzip; do
  command -v "$tool" >/dev/null || { echo "the benchmark needs $tool" >&2; exit 1; }
done

temporary_home
server=""
trap '[[ -n "$server" ]] && kill "$server"; rm -rf "$work"' EXIT
KEY=0123456789abcdef
hex() { printf %s "$1" | od -An -tx1 | tr -d ' \n'; }
KEY_HEX=$(hex "$KEY")
IV_HEX=$(hex fedcba9876543210)

# The package: 2,000 incompressible files of 4 to 21 KB in 40 folders, and its info.plist.
python3 - "$work/package.zip" <<'PY'
import random, sys, zipfile
rng = random.Random(1)
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("info.plist", '<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>'
               '<key>cli_release</key><string>2</string></dict></plist>')
    for i in range(2000):
        z.writestr("d%02d/file%04d.js" % (i % 40, i), rng.randbytes(rng.randint(4096, 21504)))
PY
mkdir "$work/served"
openssl enc -aes-128-cbc -K "$KEY_HEX" -iv "$IV_HEX" -in "$work/package.zip" -out "$work/ciphertext"
{ printf %s fedcba9876543210; cat "$work/ciphertext"; } > "$work/served/update.zip"
size=$(stat -c %s "$work/served/update.zip")

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server --bind 127.0.0.1 --directory "$work/served" "$port" >/dev/null 2>&1 &
server=$!
URL="http://127.0.0.1:$port/update.zip"
for _ in $(seq 50); do curl -sf -o /dev/null "$URL" && break; sleep 0.1; done

pipeline() {
  local dir="$work/pipeline"
  rm -rf "$dir"; mkdir -p "$dir/www"; echo '<html>old</html>' > "$dir/www/index.html"
  local start end
  start=$(date +%s%N)
  curl -sf -o "$dir/update.zip" "$URL"
  tail -c +17 "$dir/update.zip" | openssl enc -d -aes-128-cbc -K "$KEY_HEX" -iv "$IV_HEX" -out "$dir/update_dec.zip"
  unzip -q "$dir/update_dec.zip" -d "$dir/www-1"
  mv "$dir/www" "$dir/www-old" && mv "$dir/www-1" "$dir/www" && rm -rf "$dir/www-old"
  end=$(date +%s%N)
  awk -v ns=$((end - start)) 'BEGIN { printf "%.1f", ns / 1000000 }'
}

ours=(); base=(); idle=0; peak=0; stall=0
for _ in $(seq "${REPETITIONS:-7}"); do
  out=$("$BIN" "$URL" "$KEY") || { echo "our install failed" >&2; exit 1; }
  ours+=("$(awk '$1 == "ms" { print $2 }' <<<"$out")")
  idle=$(awk '$1 == "idle_kb" { print $2 }' <<<"$out")
  p=$(awk '$1 == "peak_kb" { print $2 }' <<<"$out"); (( p > peak )) && peak=$p
  stall=$(awk -v s="$stall" '$1 == "stall_ms" { print ($2 > s ? $2 : s) }' <<<"$out")
  base+=("$(pipeline)")
done

median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
m_ours=$(median "${ours[@]}")
m_base=$(median "${base[@]}")
awk -v ours="$m_ours" -v base="$m_base" -v idle="$idle" -v peak="$peak" -v size="$size" -v stall="$stall" 'BEGIN {
  printf "package                           %.1f MB, 2000 files\n", size / 1048576
  printf "our install (download+decrypt+unpack+swap)  median %.1f ms\n", ours
  printf "curl | openssl enc -d | unzip | mv          median %.1f ms\n", base
  printf "ratio                                       %.2fx (goal <= 1.00x)\n", ours / base
  printf "longest main-loop stall                     %.1f ms (goal < 50 ms)\n", stall
  bound = 1.2 * idle + 16384
  printf "memory: idle %d KB, peak during install %d KB, bound 1.2*idle+16MB = %d KB (%s)\n", idle, peak, bound, peak <= bound ? "within" : "over"
}'
