#!/usr/bin/env bash
# Puts the search beside lftp's find in one run: a tree of 2,000 folders (up
# to 6 levels deep) holding 20,000 files on vsftpd on 127.0.0.1, the server
# pinned to CPU 0 and the clients to CPU 1, clients taking turns, the median
# of 5 rounds after a warm-up. Run by hand, as root:
#
#   bench/search.sh              # builds Release programs in build-bench
#   ROUNDS=3 bench/search.sh
#   BUILD_DIR=/path bench/search.sh
#
# The window (bench_window_search, offscreen) runs a name search from "Neue
# Suche" and reports the seconds from "Suche starten" to the closing message
# and the longest time its event loop did not turn. glimra-cli search and
# lftp's find are timed from start to exit. All three list every folder.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$repo/build-bench}
rounds=${ROUNDS:-5}
server_cpu=0
client_cpu=1
folder_count=2000
files_per_folder=10
term=777

bench_name=search.sh
source "$repo/bench/common.sh"
require_pinned_vsftpd
install_missing lftp

build_release glimra-cli bench_window_search
cli=$build/src/cli/glimra-cli
window=$build/bench/bench_window_search

make_work_folder

root=$work/root
echo "Writing $folder_count folders with $files_per_folder files each"
/usr/bin/python3 - "$root" "$folder_count" "$files_per_folder" <<'PYTHON'
import os, random, sys
root, folders, per_folder = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
random.seed(11)
os.makedirs(root)
tree = [("", 0)]  # path below root, depth
for number in range(folders):
    parent, depth = random.choice([entry for entry in tree if entry[1] < 6])
    path = os.path.join(parent, "ordner%04d" % number)
    os.mkdir(os.path.join(root, path))
    tree.append((path, depth + 1))
file_number = 0
for path, depth in tree[1:]:
    for _ in range(per_folder):
        with open(os.path.join(root, path, "datei%05d.txt" % file_number), "w") as file:
            file.write("x" * 100)
        file_number += 1
PYTHON
start_vsftpd "$root"

# The window saves the connection into the connection tree under a home of
# its own (before the first glimra-cli run); glimra-cli searches that tree.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
mkdir -p "$HOME"
tree_folder() { dirname "$(find "$HOME" -name inhalt.ini | head -1)"; }

declare -A cases=(
  [window]="$window 127.0.0.1 $port ftp glimra $term"
  [cli]="$cli search --tree \"\$(tree_folder)\" --names --or $term Benchmark"
  [lftp]="lftp -e '$lftp_prefix find; quit' -u ftp,glimra -p $port 127.0.0.1"
)
export -f tree_folder
order=(window cli lftp)
declare -A samples=() gaps=()

# Prints the seconds, the window's longest gap (0 for the others) and the
# count of hits (lftp: of the paths it found).
run_case() {
  local name=$1 start end out status=0
  start=$EPOCHREALTIME
  out=$(nice -n -10 taskset -c "$client_cpu" bash -c "${cases[$name]}" 2>"$work/client.err") || status=$?
  end=$EPOCHREALTIME
  # glimra-cli search ends with 1 when nothing was found, which is no failure here.
  [ $status -le 1 ] || die "$name failed: $(cat "$work/client.err")"
  if [ "$name" = window ]; then
    echo "$out"
  else
    echo "$(seconds_between "$start" "$end") 0 $(grep -c . <<<"$out")"
  fi
}

print_load before
for round in $(seq 0 "$rounds"); do
  line=""
  for name in "${order[@]}"; do
    result=$(run_case "$name")
    read -r seconds gap count <<<"$result"
    if [ "$round" -gt 0 ]; then
      samples[$name]+="$seconds "
      [ "$name" = window ] && gaps[window]+="$gap "
    fi
    line+=" $name=${seconds}s($count)"
    [ "$name" = window ] && line+=" gap=${gap}ms"
  done
  [ "$round" -eq 0 ] && echo "warm-up:$line" || echo "round $round:$line"
done
print_load after

folders=$((folder_count + 1))
per_second() { awk -v s="$1" -v n="$folders" 'BEGIN { printf "%.0f", n / s }'; }
w=$(median window) c=$(median cli) l=$(median lftp)
longest=$(tr ' ' '\n' <<<"${gaps[window]}" | grep . | sort -n | tail -1)
echo
echo "Median of $rounds rounds ($folders folders, $((folder_count * files_per_folder)) files; vsftpd on CPU $server_cpu, clients on CPU $client_cpu):"
echo "  seconds          window $w  glimra-cli $c  lftp find $l"
echo "  folders/second   window $(per_second "$w")  glimra-cli $(per_second "$c")  lftp find $(per_second "$l")"
echo "  window/lftp $(ratio "$l" "$w")  glimra-cli/lftp $(ratio "$l" "$c")"
echo "  longest time the window's event loop did not turn: ${longest} ms (of all rounds)"
