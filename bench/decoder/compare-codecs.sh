#!/usr/bin/env bash
# Decodes the same picture content at the same compressed size with the wavelet decoder,
# libjpeg-turbo and OpenJPEG, in one run, and prints times, quality (PSNR) and ratios.
#
#   bench/decoder/compare-codecs.sh [BUILD_DIR]     (default: build/decoder, a native build)
#
# Installs libjpeg-turbo-progs, libturbojpeg0-dev and libopenjp2-tools when missing. The
# wavelet figures come from decoder_bench (in-process, ms per picture); libjpeg-turbo from
# tjbench (in-process); decoder_table_bench then measures every engine against libjpeg-turbo
# 4:2:2 and 4:2:0 in one process (CPU time: the steadiest ratio on a shared machine); djpeg and opj_decompress
# are timed per process, so their figures include start-up and file output. Compare the
# ratios of one run, not absolute times.
set -euo pipefail

build=${1:-build/decoder}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
cd "$root"

need=()
command -v tjbench >/dev/null && command -v cjpeg >/dev/null && command -v djpeg >/dev/null || need+=(libjpeg-turbo-progs)
command -v opj_compress >/dev/null && command -v opj_decompress >/dev/null || need+=(libopenjp2-tools)
[ -f /usr/include/turbojpeg.h ] || need+=(libturbojpeg0-dev)
if [ ${#need[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -q >/dev/null
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${need[@]}" >/dev/null
fi

cmake -B "$build" >/dev/null  # finds libturbojpeg if it was just installed
cmake --build "$build" --target decoder_bench decoder_bench_picture decoder_table_bench >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bench/decoder/decoder_bench_picture" "$work" 40960 122880 > "$work/sizes"
"$build/bench/decoder/decoder_bench" --benchmark_filter='BM_Decode/engine:[023]/large:[01]/levels:0$' \
  --benchmark_min_time=1 --benchmark_out="$work/wavelet.json" --benchmark_out_format=json >/dev/null 2>&1

psnr() {  # PSNR of a decoded PPM against the original, when ImageMagick is there
  if command -v compare >/dev/null; then
    { compare -metric PSNR "$work/picture.ppm" "$1" null: 2>&1 || true; } | awk '{printf "%.2f", $1}'
  else
    echo "n/a"
  fi
}

per_process_ms() {  # average wall time of a command over N runs, in ms
  local runs=$1
  shift
  local start end
  start=$(date +%s%N)
  for _ in $(seq "$runs"); do "$@" >/dev/null 2>&1; done
  end=$(date +%s%N)
  echo "scale=3; ($end - $start) / $runs / 1000000" | bc
}

printf '%-8s %-28s %9s %9s %10s\n' target codec bytes "ms/pic" "PSNR dB"
large=0
while read -r target bytes quality; do
  # JPEG of about the same size: the cjpeg quality whose file is closest.
  best=""
  bestDistance=999999999
  for q in $(seq 5 100); do
    cjpeg -quality "$q" -optimize "$work/picture.ppm" > "$work/try.jpg" 2>/dev/null
    size=$(stat -c %s "$work/try.jpg")
    distance=$(( size > bytes ? size - bytes : bytes - size ))
    if [ "$distance" -lt "$bestDistance" ]; then bestDistance=$distance; best=$q; cp "$work/try.jpg" "$work/$target.jpg"; fi
  done
  jpegBytes=$(stat -c %s "$work/$target.jpg")
  # JPEG 2000 at the same compression ratio.
  ratio=$(echo "scale=3; 720 * 576 * 3 / $bytes" | bc)
  opj_compress -i "$work/picture.ppm" -o "$work/$target.j2k" -r "$ratio" >/dev/null
  j2kBytes=$(stat -c %s "$work/$target.j2k")

  tjFps=$(tjbench "$work/$target.jpg" -benchtime 2 -warmup 1 -nowrite 2>/dev/null | awk '/Frame rate/ {print $NF == "fps" ? $(NF-1) : $NF; exit}')
  tjMs=$(echo "scale=3; 1000 / $tjFps" | bc)
  djpegMs=$(per_process_ms 20 djpeg -ppm -outfile "$work/out.ppm" "$work/$target.jpg")
  djpeg -ppm -outfile "$work/$target-jpeg.ppm" "$work/$target.jpg"
  opjMs=$(per_process_ms 10 opj_decompress -i "$work/$target.j2k" -o "$work/out-j2k.ppm")
  opj_decompress -i "$work/$target.j2k" -o "$work/$target-j2k.ppm" >/dev/null

  waveletPsnr=$(psnr "$work/decoded-$target.ppm")
  for engine in 0 2 3; do
    name=$(python3 - "$work/wavelet.json" "$engine" "$large" <<'PY'
import json, sys
data = json.load(open(sys.argv[1]))
for b in data["benchmarks"]:
    if b["name"] == f"BM_Decode/engine:{sys.argv[2]}/large:{sys.argv[3]}/levels:0":
        print(b["label"].split()[0], "%.3f" % b["real_time"])
PY
)
    set -- $name
    printf '%-8s %-28s %9s %9s %10s\n' "$target" "wavelet $1" "$bytes" "$2" "$waveletPsnr"
    eval "wavelet_$engine=$2"
  done
  printf '%-8s %-28s %9s %9s %10s\n' "$target" "libjpeg-turbo (tjbench)" "$jpegBytes" "$tjMs" "$(psnr "$work/$target-jpeg.ppm")"
  printf '%-8s %-28s %9s %9s %10s\n' "$target" "libjpeg-turbo (djpeg process)" "$jpegBytes" "$djpegMs" ""
  printf '%-8s %-28s %9s %9s %10s\n' "$target" "OpenJPEG (opj_decompress)" "$j2kBytes" "$opjMs" "$(psnr "$work/$target-j2k.ppm")"
  printf '%-8s ratios: mmx-sse2/tjbench %.2f  mmx-avx2/tjbench %.2f  portable/tjbench %.2f  opj/mmx-sse2 %.1f\n' "$target" \
    "$(echo "$wavelet_2 / $tjMs" | bc -l)" "$(echo "$wavelet_3 / $tjMs" | bc -l)" "$(echo "$wavelet_0 / $tjMs" | bc -l)" \
    "$(echo "$opjMs / $wavelet_2" | bc -l)"
  large=1
done < "$work/sizes"

echo
echo "In one process (decoder_table_bench), CPU time per picture:"
"$build/bench/decoder/decoder_table_bench"
