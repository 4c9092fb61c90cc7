#!/usr/bin/env bash
# Times veldora builds on the hostile input shapes at three sizes each, to
# see whether time and memory follow the input or grow faster.
#
#   bench/hostile_shapes.sh [--build DIR] [--shapes "NAME ..."] [--scales "A B C"] [BINARY...]
#
# Without BINARY the veldora of the build folder (default build/release) is
# timed; several binaries (an older build, say) are timed side by side. A
# run is stopped after 120 s. Prints per shape, size and binary the wall
# time and the peak resident memory; the plain-NAME shapes are the ordinary
# inputs of about the same size. Inputs stay in build/hostile/.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/release
shapes=""
scales=""
binaries=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift ;;
    --shapes) shapes=$2; shift ;;
    --scales) scales=$2; shift ;;
    -*) sed -n '5,12p' "$0" >&2; exit 2 ;;
    *) binaries+=("$(realpath "$1")") ;;
  esac
  shift
done
tool=$build/tests/hostile/hostile_shape
[ -x "$tool" ] || { echo "hostile_shapes: build $tool first (./setup.sh --tests release)" >&2; exit 1; }
[ ${#binaries[@]} -gt 0 ] || binaries=("$(realpath "$build/driver/veldora")")
[ -n "$shapes" ] || shapes=$("$tool" --list | tr '\n' ' ')

# Default sizes per shape: the largest one what the tests use at most tenfold.
default_scales() {
  case "$1" in
    rebinding) echo "25000 50000 100000" ;;
    link-records) echo "5000 10000 20000" ;;
    many-files) echo "10000 20000 50000" ;;
    stub-chain) echo "5000 10000 20000" ;;
    chained-stubs) echo "100000 200000 400000" ;;
    crafted-ids) echo "40000 80000 160000" ;;
    deep-stub-links) echo "10000 20000 40000" ;;
    codec-names) echo "50000 100000 200000" ;;
  esac
}

orbek=$PWD/build/hostile/orbek
mkdir -p "$orbek/lib/locale"
printf '%-22s %8s %8s %9s  %s\n' shape size wall_s RSS_MB binary
for shape in $shapes; do
  for variant in "$shape" "plain-$shape"; do
    for scale in ${scales:-$(default_scales "$shape")}; do
      dir=$PWD/build/hostile/$variant-$scale
      rm -rf "$dir"
      mkdir -p "$dir"
      mapfile -t arguments < <("$tool" "$variant" "$scale" "$dir")
      for binary in "${binaries[@]}"; do
        (cd "$dir" && LC_ALL=C.UTF-8 ORBEKDIR=$orbek timeout 120 /usr/bin/time -f '%e %M' -o time \
          "$binary" "${arguments[@]}" >/dev/null 2>stderr) || true
        read -r wall rss < <(tail -n 1 "$dir/time" | grep -E '^[0-9.]+ [0-9]+$' || echo "timeout -")
        [ "$rss" = - ] || rss=$(awk -v k="$rss" 'BEGIN { printf "%.1f", k / 1024 }')
        printf '%-22s %8d %8s %9s  %s\n' "$variant" "$scale" "$wall" "$rss" "$binary"
      done
    done
  done
  rm -rf "$PWD"/build/hostile/*-[0-9]*
done
