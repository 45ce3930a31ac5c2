#!/usr/bin/env bash
# Puts glimra-cli's SFTP beside OpenSSH's sftp and lftp in one run: a 1 GiB
# file of random bytes down and up, and a folder of 1000 files of 4 KiB down;
# the main window (bench_window_transfer) downloads both as well and tells
# the longest time its event loop did not turn. All
# from an sshd of its own on 127.0.0.1 (internal-sftp), the server pinned to
# CPU 0 and the clients to CPU 1, clients taking turns, the median of 5
# rounds after a warm-up. Run by hand, as root:
#
#   bench/sftp.sh                  # builds a Release glimra-cli and window bench in build-bench
#   ROUNDS=3 bench/sftp.sh         # fewer rounds
#   BUILD_DIR=/path bench/sftp.sh
#   SKIP_BUILD=1 BUILD_DIR=/path bench/sftp.sh   # glimra-cli as it is there
#   CIPHER=chacha20-poly1305@openssh.com bench/sftp.sh
#   CASES="glimra_get sftp_get" bench/sftp.sh   # only these cases
#   PROFILE=1 bench/sftp.sh        # then each case once more, with CPU times
#   DELAY_MS=5 FILE_COUNT=100 CASES="glimra_mirror glimra1_mirror sftp_mirror" bench/sftp.sh
#                                  # the clients through bench/delayproxy.py, which holds
#                                  # every packet back 5 ms each way: a server 10 ms away
#
# glimra1_mirror (not run unless named in CASES) is glimra-cli's get -r with
# one connection.
#
# sshd offers the one cipher CIPHER (default aes128-gcm@openssh.com), so
# every client uses it; the user glimra-bench (a system account, created
# when missing) logs in with a key made for the run, so no client needs a
# password. The system's sshd service and /etc/ssh are left alone. Installs
# lftp when it is missing. Prints every round, the medians and the ratios.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$repo/build-bench}
rounds=${ROUNDS:-5}
cipher=${CIPHER:-aes128-gcm@openssh.com}
server_cpu=0
client_cpu=1
size_mib=${SIZE_MIB:-1024} # less for a quick try of the script
file_count=${FILE_COUNT:-1000}
delay_ms=${DELAY_MS:-0}
user=glimra-bench

bench_name=sftp.sh
source "$repo/bench/common.sh"

[ "$(id -u)" -eq 0 ] || die "sshd logs users in only when started as root; run as root"
[ "$(nproc)" -ge 2 ] || die "needs two CPUs (server and clients pinned apart)"
[ -x /usr/sbin/sshd ] || die "sshd is missing (openssh-server)"
command -v sftp >/dev/null || die "OpenSSH's sftp is missing (openssh-client)"
install_missing lftp

[ -z "${SKIP_BUILD:-}" ] && build_release glimra-cli bench_window_transfer
cli=$build/src/cli/glimra-cli
window=$build/bench/bench_window_transfer
[ -x "$cli" ] || die "$cli is missing"
[ -x "$window" ] || die "$window is missing"

# --- the server ---------------------------------------------------------------

# A system account without a shell login. sshd without PAM refuses an account
# whose password is locked ("!"); "*" lets no password in but keys.
ensure_user() {
  id "$user" >/dev/null 2>&1 ||
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user"
  usermod -p '*' "$user"
}

# Serves ROOT to $user on 127.0.0.1 from a config of its own; sets $port,
# $server_pid, $key (the client's private key) and $known_hosts.
start_sshd() {
  local root=$1
  chown -R "$user:" "$root"
  ssh-keygen -q -t ed25519 -N '' -f "$work/host_ed25519"
  key=$work/client_ed25519
  ssh-keygen -q -t ed25519 -N '' -f "$key"
  cp "$key.pub" "$work/authorized_keys"
  chmod 644 "$work/authorized_keys"
  mkdir -p /run/sshd # privilege separation, as the package's service makes it
  port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  cat >"$work/sshd_config" <<EOF
Port $port
ListenAddress 127.0.0.1
HostKey $work/host_ed25519
PidFile none
UsePAM no
PermitRootLogin no
AllowUsers $user
PasswordAuthentication no
KbdInteractiveAuthentication no
PubkeyAuthentication yes
AuthorizedKeysFile $work/authorized_keys
StrictModes no
Ciphers $cipher
Compression no
MaxStartups 50
MaxSessions 50
LogLevel DEBUG1
Subsystem sftp internal-sftp -d $root
ForceCommand internal-sftp -d $root
EOF
  /usr/sbin/sshd -t -f "$work/sshd_config" || die "sshd does not take its config"
  nice -n -10 taskset -c "$server_cpu" /usr/sbin/sshd -D -e -f "$work/sshd_config" 2>"$work/sshd.log" &
  server_pid=$!
  for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.05
  done
  kill -0 "$server_pid" 2>/dev/null || die "sshd did not start: $(cat "$work/sshd.log")"
  client_port=$port
  [ "$delay_ms" -gt 0 ] && start_delay_proxy
  known_hosts=$work/known_hosts
  echo "[127.0.0.1]:$client_port $(cut -d' ' -f1-2 "$work/host_ed25519.pub")" >"$known_hosts"
}

# The clients reach sshd through bench/delayproxy.py on $client_port.
start_delay_proxy() {
  client_port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  taskset -c "$server_cpu" /usr/bin/python3 "$repo/bench/delayproxy.py" "$client_port" "$port" "$delay_ms" &
  proxy_pid=$!
  trap 'kill "$proxy_pid" 2>/dev/null; stop_and_clean_up' EXIT
  for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$client_port") 2>/dev/null && return
    sleep 0.05
  done
  die "the delaying proxy did not start"
}

ensure_user
make_work_folder

root=$work/root
mkdir -p "$root/up" "$root/files" "$work/down"
echo "Writing $size_mib MiB and $file_count files of 4 KiB of random bytes"
head -c "${size_mib}M" /dev/urandom >"$root/big.bin"
cp "$root/big.bin" "$work/source.bin"
for i in $(seq -w 1 "$file_count"); do head -c 4096 /dev/urandom >"$root/files/f$i.dat"; done
start_sshd "$root"

# --- the clients ------------------------------------------------------------------

down=$work/down
up=$root/up
# An agent of the caller's would be asked first by glimra-cli and ssh alike.
unset SSH_AUTH_SOCK
ssh_options="-F /dev/null -i $key -o IdentitiesOnly=yes -o BatchMode=yes -o UserKnownHostsFile=$known_hosts -o GlobalKnownHostsFile=/dev/null -o StrictHostKeyChecking=yes -c $cipher"
sftp_cmd="sftp -q $ssh_options -P $client_port"
printf 'cd %s\nget big.bin %s/sftp.bin\n' "$root" "$down" >"$work/get.batch"
printf 'cd %s/up\nput %s/source.bin sftp.bin\n' "$root" "$work" >"$work/put.batch"
printf 'cd %s\nget -r files %s/files\n' "$root" "$down" >"$work/mirror.batch"
cli_url="sftp://$user@127.0.0.1:$client_port$root/"
cli_cmd="$cli --known-hosts $known_hosts --identity $key $cli_url"
# The window starts in the folder sshd puts the user in, which is $root.
window_cmd="BENCH_IDENTITY_FILE=$key $window sftp://127.0.0.1 $client_port $user '' "
# lftp runs ssh for its sftp:// connections; the password is never asked for.
lftp_cmd() {
  echo "lftp -e 'set sftp:connect-program \"ssh -a -x $ssh_options\"; set xfer:clobber on; cd $root; $1; quit' -u $user,unused sftp://127.0.0.1:$client_port"
}

# Each case: a name and the command it runs; *_get and *_mirror leave their
# files in $down, *_put theirs in $up. Both are emptied after every run.
declare -A cases=(
  [glimra_get]="$cli_cmd get big.bin $down/glimra.bin"
  [window_get]="$window_cmd big.bin $down"
  [sftp_get]="$sftp_cmd -b $work/get.batch $user@127.0.0.1"
  [lftp_get]="$(lftp_cmd "get big.bin -o $down/lftp.bin")"
  [glimra_put]="$cli_cmd put $work/source.bin up/glimra.bin"
  [sftp_put]="$sftp_cmd -b $work/put.batch $user@127.0.0.1"
  [lftp_put]="$(lftp_cmd "put $work/source.bin -o up/lftp.bin")"
  [glimra_mirror]="$cli_cmd get -r --parallel 4 files $down/files"
  [glimra1_mirror]="$cli_cmd get -r --parallel 1 files $down/files"
  [window_mirror]="$window_cmd files $down 4"
  [sftp_mirror]="$sftp_cmd -b $work/mirror.batch $user@127.0.0.1"
  [lftp_mirror]="$(lftp_cmd "mirror --parallel=4 files $down/files")"
)
order=(glimra_get window_get sftp_get lftp_get glimra_put sftp_put lftp_put glimra_mirror window_mirror sftp_mirror
  lftp_mirror)
[ -n "${CASES:-}" ] && read -ra order <<<"$CASES"
declare -A samples=()

# What a run must have brought: the whole file, or every file of the folder;
# in the warm-up round the bytes are compared too.
check_result() {
  local name=$1 round=$2 file
  case $name in
  *_get) file=$(ls "$down"/*.bin) ;;
  *_put) file=$(ls "$up"/*.bin) ;;
  *_mirror)
    [ "$(find "$down/files" -type f -size 4k | wc -l)" -eq "$file_count" ] || die "$name: files missing"
    [ "$round" -gt 0 ] || diff -rq "$root/files" "$down/files" >/dev/null || die "$name: files differ"
    return
    ;;
  esac
  [ "$(stat -c %s "$file")" -eq $((size_mib * 1024 * 1024)) ] || die "$name: $file has the wrong size"
  [ "$round" -gt 0 ] || cmp -s "$file" "$work/source.bin" || die "$name: $file differs"
}

# The window bench tells its longest event-loop gap on stderr. run_case runs
# in a subshell, so the gaps go through a file.
note_gap() {
  local gap
  gap=$(sed -n 's/^longest event-loop gap: \([0-9]*\) ms$/\1/p' "$work/client.err")
  [ -n "$gap" ] && echo "$1 $gap" >>"$work/gaps"
  return 0
}

# run_rounds keeps the round it is in in $round (0: the warm-up).
run_case() {
  local name=$1 start end
  sync
  start=$EPOCHREALTIME
  nice -n -10 taskset -c "$client_cpu" bash -c "${cases[$name]}" >/dev/null 2>"$work/client.err" </dev/null ||
    die "$name failed: $(cat "$work/client.err")"
  end=$EPOCHREALTIME
  note_gap "$name"
  check_result "$name" "$round"
  rm -rf "${down:?}"/* "${up:?}"/*
  case $name in
  *_mirror) seconds_between "$start" "$end" ;;
  *) awk -v s="$start" -v e="$end" -v m="$size_mib" 'BEGIN { printf "%.0f", m / (e - s) }' ;;
  esac
}

echo "sshd on 127.0.0.1:$port (CPU $server_cpu), cipher $cipher; clients on CPU $client_cpu"
[ "$delay_ms" -gt 0 ] && echo "Clients through a proxy on port $client_port that holds every packet back $delay_ms ms each way"
run_rounds ""

echo
echo "Ciphers the server negotiated (client to server):"
grep -o 'kex: client->server cipher: [^ ]*' "$work/sshd.log" | sort | uniq -c | sed 's/^/  /'
echo
echo "Median of $rounds rounds ($size_mib MiB in MiB/s, $file_count files of 4 KiB in seconds):"
show_rate() {
  local what=$1 g s l
  [ -n "${samples[glimra_$what]:-}" ] && [ -n "${samples[sftp_$what]:-}" ] && [ -n "${samples[lftp_$what]:-}" ] || return 0
  g=$(median "glimra_$what") s=$(median "sftp_$what") l=$(median "lftp_$what")
  echo "  $size_mib MiB $what, MiB/s  glimra-cli $g  sftp $s  lftp $l  glimra-cli/sftp $(ratio "$g" "$s")  glimra-cli/lftp $(ratio "$g" "$l")"
}
show_rate get
show_rate put
[ -n "${samples[window_get]:-}" ] && echo "  $size_mib MiB get, MiB/s  window $(median window_get)"
show_mirror() {
  local name=$1 what=$2
  [ -n "${samples[$name]:-}" ] || return 0
  local m
  m=$(median "$name")
  if [ -n "${samples[sftp_mirror]:-}" ] && [ "$name" != sftp_mirror ]; then
    echo "  $file_count files, s  $what $m  sftp -r/this $(ratio "$(median sftp_mirror)" "$m")"
  else
    echo "  $file_count files, s  $what $m"
  fi
}
show_mirror glimra_mirror "glimra-cli get -r --parallel 4"
show_mirror glimra1_mirror "glimra-cli get -r --parallel 1"
show_mirror sftp_mirror "sftp -r"
show_mirror lftp_mirror "lftp mirror --parallel=4"
[ -n "${samples[window_mirror]:-}" ] && echo "  $file_count files, s  window with 4 connections $(median window_mirror)"
echo "Targets: glimra-cli/sftp >= 1.0 for 1 GiB; sftp -r / glimra-cli get -r --parallel 4 >= 1.5"
if [ -s "$work/gaps" ]; then
  echo "The window's longest event-loop gap, ms (all rounds):"
  sort -k1,1 -k2,2n "$work/gaps" | awk '{ max[$1] = $2 } END { for (c in max) printf "  %s %d\n", c, max[c] }'
fi

# PROFILE=1: every case once more, with the CPU seconds of the client (with
# the ssh it runs) from /usr/bin/time and of the server's sessions from perf
# (sshd's children count too, as they are forked after perf attached).
profile_case() {
  local name=$1 wall client_user client_system server
  printf '%s\n' "${cases[$name]}" >"$work/case.sh"
  sync
  perf stat -x, -e task-clock -p "$server_pid" -o "$work/server.perf" -- bash -c "
    nice -n -10 taskset -c $client_cpu /usr/bin/time -f '%e %U %S' -o $work/time bash $work/case.sh \
      >/dev/null 2>$work/client.err </dev/null; status=\$?; sleep 0.3; exit \$status" ||
    die "$name failed: $(cat "$work/client.err")"
  rm -rf "${down:?}"/* "${up:?}"/*
  read -r wall client_user client_system <"$work/time"
  server=$(awk -F, '/task-clock/ { printf "%.2f", $1 / 1000 }' "$work/server.perf")
  printf "  %-14s %6.2f s  client user %5.2f s  system %5.2f s  server %5.2f s\n" \
    "$name" "$wall" "$client_user" "$client_system" "$server"
}
if [ -n "${PROFILE:-}" ]; then
  command -v perf >/dev/null || install_missing linux-perf
  echo
  echo "One run each: wall time, CPU seconds of the client (with its ssh) and of the server's sessions:"
  for name in "${order[@]}"; do profile_case "$name"; done
fi
exit 0
