# Process helpers for components: they find and end only the processes a component started,
# by process id. Zombies (stopped daemons nobody reaps) never count as running.

# True while the process exists and is not a zombie.
harness_alive() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
  stat=${stat##*) }
  [ "${stat%% *}" != Z ]
}

# Prints every living descendant of a process, children before grandchildren.
harness_descendants() {
  local -a queue=("$1")
  local parent file stat pid ppid
  while [ ${#queue[@]} -gt 0 ]; do
    parent=${queue[0]}
    queue=("${queue[@]:1}")
    for file in /proc/[0-9]*/stat; do
      stat=$(cat "$file" 2>/dev/null) || continue
      pid=${stat%% *}
      stat=${stat##*) }
      read -r _ ppid _ <<<"$stat"
      if [ "$ppid" = "$parent" ] && harness_alive "$pid"; then
        echo "$pid"
        queue+=("$pid")
      fi
    done
  done
}

# The process id that owns a name on the session bus, or nothing.
harness_bus_owner_pid() {
  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.GetConnectionUnixProcessID "$1" 2>/dev/null |
    sed -n 's/^(uint32 \([0-9]*\),)$/\1/p'
}

# Ends the given processes: SIGTERM, then SIGKILL for whatever is still running after 5 s.
harness_stop_pids() {
  local pid deadline=$((SECONDS + 5))
  [ $# -gt 0 ] || return 0
  for pid in "$@"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "$@"; do
    while harness_alive "$pid" && [ $SECONDS -lt $deadline ]; do sleep 0.05; done
    harness_alive "$pid" && kill -KILL "$pid" 2>/dev/null || true
  done
  return 0
}

# Ends a process together with everything it started.
harness_stop_tree() {
  local root=$1
  [ -n "$root" ] || return 0
  # shellcheck disable=SC2046
  harness_stop_pids "$root" $(harness_descendants "$root")
}
