# Shared by the benchmark drivers (sourced): the checks, a work folder that
# goes away on exit, vsftpd on 127.0.0.1 pinned to $server_cpu, and the
# median of the samples a driver collects in the associative array "samples".
# The sourcing script sets $bench_name, $server_cpu and $client_cpu first.

die() { echo "$bench_name: $*" >&2; exit 1; }

require_pinned_vsftpd() {
  [ "$(id -u)" -eq 0 ] || die "vsftpd needs root to change to its login user; run as root"
  [ "$(nproc)" -ge 2 ] || die "needs two CPUs (server and clients pinned apart)"
  [ -x /usr/sbin/vsftpd ] || die "vsftpd is missing (scripts/install-deps.sh installs it)"
  grep -q pam_rootok /etc/pam.d/runuser 2>/dev/null || die "the PAM service runuser with pam_rootok is missing"
  id ftp >/dev/null 2>&1 || die "there is no user ftp for vsftpd's logins"
}

install_missing() {
  local missing=()
  for tool in "$@"; do command -v "$tool" >/dev/null || missing+=("$tool"); done
  [ ${#missing[@]} -eq 0 ] && return
  echo "Installiere: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Sets $work: a fresh folder under /var/tmp (on disk, not in memory), removed
# with the server on exit.
make_work_folder() {
  work=$(mktemp -d "/var/tmp/glimra-$bench_name.XXXXXX")
  chmod 755 "$work"
  server_pid=
  trap stop_and_clean_up EXIT
}

stop_and_clean_up() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}

# Serves ROOT read-write to the user ftp (password glimra); sets $port and
# $server_pid.
start_vsftpd() {
  local root=$1
  chown -R ftp:ftp "$root"
  mkdir -p "$work/empty"
  port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  cat >"$work/vsftpd.conf" <<EOF
listen=YES
listen_ipv6=NO
background=NO
listen_address=127.0.0.1
listen_port=$port
seccomp_sandbox=NO
secure_chroot_dir=$work/empty
anonymous_enable=NO
local_enable=YES
pam_service_name=runuser
check_shell=NO
chroot_local_user=YES
allow_writeable_chroot=YES
local_root=$root
write_enable=YES
local_umask=022
connect_from_port_20=NO
delay_failed_login=0
dirmessage_enable=NO
xferlog_enable=NO
EOF
  nice -n -10 taskset -c "$server_cpu" /usr/sbin/vsftpd "$work/vsftpd.conf" &
  server_pid=$!
  for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.05
  done
  kill -0 "$server_pid" 2>/dev/null || die "vsftpd did not start"
}

lftp_prefix="set ftp:ssl-allow no; set ftp:passive-mode on; set xfer:clobber on;"

print_load() { echo "Load $1 the run: $(cut -d' ' -f1-3 /proc/loadavg)"; }

# Builds the targets as a Release build in $build.
build_release() {
  echo "Building $* (Release) in $build"
  cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DGLIMRA_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" --target "$@" -j2 >/dev/null
}

# Seconds between two readings of $EPOCHREALTIME.
seconds_between() { awk -v s="$1" -v e="$2" 'BEGIN { printf "%.3f", e - s }'; }

# Calls the driver's run_case for every name in "order", one warm-up round
# and then $rounds rounds, printing each round with the unit after each
# figure and keeping the figures of the rounds in "samples".
run_rounds() {
  local unit=$1 round name figure line
  print_load before
  for round in $(seq 0 "$rounds"); do
    line=""
    for name in "${order[@]}"; do
      figure=$(run_case "$name")
      [ "$round" -gt 0 ] && samples[$name]+="$figure "
      line+=" $name=$figure$unit"
    done
    [ "$round" -eq 0 ] && echo "warm-up:$line" || echo "round $round:$line"
  done
  print_load after
}

median() { tr ' ' '\n' <<<"${samples[$1]}" | grep . | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
