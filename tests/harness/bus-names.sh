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
