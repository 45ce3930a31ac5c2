#!/usr/bin/env bash
# Puts the thumbnail window beside vipsthumbnail and GraphicsMagick in one
# run: 200 photos of 4000 x 3000 pixels (JPEG, about 3 MB each) in a folder
# under /var/tmp, thumbnails of 120 x 120, the tools taking turns, the median
# of the rounds after a warm-up that reads every file into the page cache.
# Run by hand:
#
#   bench/thumbnails.sh               # builds a Release bench_thumbnails in build-bench
#   ROUNDS=5 bench/thumbnails.sh
#   BUILD_DIR=/path bench/thumbnails.sh
#
# The window (bench_thumbnails, offscreen) opens on the folder as after a
# load and reports the seconds until the grid shows all 200 thumbnails, and
# the longest gap between two turns of its event loop meanwhile.
# vipsthumbnail and "gm mogrify -thumbnail" are timed from start to exit;
# they also write their thumbnails (small JPEGs) to disk.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$repo/build-bench}
rounds=${ROUNDS:-3}
count=200

bench_name=thumbnails.sh
source "$repo/bench/common.sh"
command -v vipsthumbnail >/dev/null || install_missing libvips-tools
command -v gm >/dev/null || install_missing graphicsmagick

build_release bench_thumbnails
window=$build/bench/bench_thumbnails

make_work_folder
photos=$work/photos
echo "Writing $count photos of 4000 x 3000"
QT_QPA_PLATFORM=offscreen "$window" --generate "$photos" "$count" 2>/dev/null
cat "$photos"/*.jpg >/dev/null

declare -A samples=()
gaps=""
seconds_of() { /usr/bin/time -f %e "$@" 2>&1 >/dev/null | tail -1; }

print_load before
for round in $(seq 0 "$rounds"); do
  line=$(QT_QPA_PLATFORM=offscreen "$window" "$photos" 120 2>/dev/null)
  read -r window_seconds shown gap <<<"$line"
  [ "$shown" -eq "$count" ] || die "the grid showed $shown of $count"
  rm -rf "$work/vips" "$work/gm" && mkdir -p "$work/vips" "$work/gm"
  vips_seconds=$(seconds_of vipsthumbnail -s 120x120 -o "$work/vips/%s.jpg" "$photos"/*.jpg)
  gm_seconds=$(cd "$photos" && seconds_of gm mogrify -output-directory "$work/gm" -thumbnail 120x120 ./*.jpg)
  [ "$(ls "$work/vips" | wc -l)" -eq "$count" ] || die "vipsthumbnail wrote too few thumbnails"
  [ "$(ls "$work/gm" | wc -l)" -eq "$count" ] || die "gm mogrify wrote too few thumbnails"
  echo "round $round: window $window_seconds s (longest gap $gap ms), vipsthumbnail $vips_seconds s, gm $gm_seconds s"
  [ "$round" -eq 0 ] && continue
  samples[window]+="$window_seconds "
  samples[vips]+="$vips_seconds "
  samples[gm]+="$gm_seconds "
  gaps+="$gap "
done
print_load after

window_median=$(median window)
vips_median=$(median vips)
gm_median=$(median gm)
longest_gap=$(tr ' ' '\n' <<<"$gaps" | grep . | sort -n | tail -1)
rate() { awk -v n="$count" -v s="$1" 'BEGIN { printf "%.1f", n / s }'; }
echo
echo "Median of $rounds rounds, thumbnails per second:"
echo "  window        $(rate "$window_median")  ($window_median s)"
echo "  vipsthumbnail $(rate "$vips_median")  ($vips_median s)"
echo "  gm mogrify    $(rate "$gm_median")  ($gm_median s)"
echo "  window / vipsthumbnail $(ratio "$vips_median" "$window_median"), window / gm $(ratio "$gm_median" "$window_median")"
echo "  longest event-loop gap of the window: $longest_gap ms"
