# shellcheck shell=bash
# Helpers for components that provide a D-Bus service.

# wait_for_bus_name <system|session> <name> <pid> <log>: waits until <name> has an owner on
# the bus; fails (printing the service's log) when the service process ends first or after 10 s.
wait_for_bus_name() {
  local bus=$1 name=$2 pid=$3 log=$4
  local deadline=$((SECONDS + 10))
  until gdbus call "--$bus" --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner "$name" 2>/dev/null | grep -q true; do
    if ! kill -0 "$pid" 2>/dev/null || [ $SECONDS -ge $deadline ]; then
      cat "$log" >&2
      return 1
    fi
    sleep 0.05
  done
}

# start_bus_fake <system|session> <name> <fake script> <dir> <what>: runs one of the Python
# fakes, keeping its pid and log in <dir>, and waits until it owns <name>.
start_bus_fake() {
  local bus=$1 name=$2 script=$3 dir=$4 what=$5
  mkdir -p "$dir"
  /usr/bin/python3 "$VIGILMOUNT_HARNESS_DIR/fakes/$script" >"$dir/log" 2>&1 &
  echo $! >"$dir/pid"
  wait_for_bus_name "$bus" "$name" "$(cat "$dir/pid")" "$dir/log" ||
    harness_fail "$what did not take $name"
}

# stop_bus_fake <dir>: ends the fake started in <dir> and waits for it.
stop_bus_fake() {
  local pid
  pid=$(cat "$1/pid" 2>/dev/null) || return 0
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
