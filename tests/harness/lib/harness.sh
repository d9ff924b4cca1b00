# shellcheck shell=bash
# Helpers for run-test.sh and its components: they start processes with their output in a log,
# wait for readiness (never a fixed sleep), fail loudly, and end only the processes a component
# started, by process id. Zombies (stopped daemons nobody reaps) never count as running.

# Fails the run, showing the log of the process harness_spawn started last.
harness_fail() {
  echo "run-test.sh: $*" >&2
  [ -z "${spawned_log:-}" ] || sed 's/^/  | /' "$spawned_log" >&2
  exit 3
}

# True while the process exists and is not a zombie.
harness_alive() {
  local stat
  read -r stat 2>/dev/null <"/proc/$1/stat" || return 1
  stat=${stat##*) }
  [ "${stat%% *}" != Z ]
}

# harness_spawn <dir> <command...>: starts the command in the background on the caller's
# standard input, with its output in <dir>/log and its process id in <dir>/pid.
harness_spawn() {
  local dir=$1
  shift
  mkdir -p "$dir"
  "$@" <&0 >"$dir/log" 2>&1 &
  spawned_pid=$! spawned_log=$dir/log
  echo "$spawned_pid" >"$dir/pid"
}

# harness_poll <seconds> <what> <command...>: polls the command until it succeeds. Returns 1 as
# soon as the process harness_spawn started last has ended; fails after <seconds>.
harness_poll() {
  local seconds=$1 what=$2 deadline=$((SECONDS + $1))
  shift 2
  until "$@" >/dev/null 2>&1; do
    [ -z "${spawned_pid:-}" ] || harness_alive "$spawned_pid" || return 1
    [ $SECONDS -lt $deadline ] || harness_fail "$what did not become ready within ${seconds}s"
    sleep 0.05
  done
}

wait_until() {
  harness_poll "$@" || harness_fail "$2: the process ended before it was ready"
}

# Prints every living descendant of a process, children before grandchildren.
harness_descendants() {
  local -a queue=("$1")
  local parent file stat ppid pid
  while [ ${#queue[@]} -gt 0 ]; do
    parent=${queue[0]}
    queue=("${queue[@]:1}")
    for file in /proc/[0-9]*/stat; do
      read -r stat 2>/dev/null <"$file" || continue
      pid=${stat%% *}
      ppid=${stat##*) }
      ppid=${ppid#* }
      if [ "${ppid%% *}" = "$parent" ] && harness_alive "$pid"; then
        echo "$pid"
        queue+=("$pid")
      fi
    done
  done
}

# Ends a process and everything it started: SIGTERM, then SIGKILL for whatever still runs 5 s
# later. Nothing when no process id is given.
harness_stop_tree() {
  [ -n "${1:-}" ] || return 0
  local pid pids deadline=$((SECONDS + 5))
  pids="$1 $(harness_descendants "$1")"
  for pid in $pids; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in $pids; do
    while harness_alive "$pid" && [ $SECONDS -lt $deadline ]; do sleep 0.05; done
    harness_alive "$pid" && kill -KILL "$pid" 2>/dev/null || true
  done
}

bus_has_owner() {
  gdbus call "--$1" --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner "$2" | grep -q true
}

# The process id that owns a name on the session bus, or nothing.
harness_bus_owner_pid() {
  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.GetConnectionUnixProcessID "$1" 2>/dev/null |
    sed -n 's/^(uint32 \([0-9]*\),)$/\1/p'
}

# start_bus <session|system> <component> <socket>: a private dbus-daemon, exported as
# DBUS_<BUS>_BUS_ADDRESS, on which anyone may own any name and send anything. Only the services
# linked into $VIGILMOUNT_TEST_ROOT/<component>/services can be activated.
start_bus() {
  local bus=$1 dir=$VIGILMOUNT_TEST_ROOT/$2 socket=$3
  mkdir -p "$dir/services"
  cat >"$dir/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>$bus</type>
  <keep_umask/>
  <listen>unix:path=$socket</listen>
  <auth>EXTERNAL</auth>
  <servicedir>$dir/services</servicedir>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
  </policy>
</busconfig>
CONF
  export "DBUS_${bus^^}_BUS_ADDRESS=unix:path=$socket"
  harness_spawn "$dir" dbus-daemon --nofork --config-file="$dir/bus.conf"
  wait_until 10 "the $bus bus" gdbus call "--$bus" --dest org.freedesktop.DBus \
    --object-path /org/freedesktop/DBus --method org.freedesktop.DBus.GetId
}

# start_bus_fake <session|system> <name> <fake script> <component>: runs one of the Python fakes
# and waits until it owns <name>.
start_bus_fake() {
  harness_spawn "$VIGILMOUNT_TEST_ROOT/$4" /usr/bin/python3 "$VIGILMOUNT_HARNESS_DIR/fakes/$3"
  wait_until 10 "$3 (owning $2)" bus_has_owner "$1" "$2"
}
