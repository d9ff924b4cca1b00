# gnome-keyring (secrets component only) on the private session bus, with its login keyring
# unlocked by a known test password. The keyring files live under $XDG_DATA_HOME/keyrings,
# which the runner creates fresh for every test program.
#
# Exports VIGILMOUNT_KEYRING_PASSWORD (the unlock password). A test locks the default
# collection with tests/harness/tools/keyring-lock.sh (there is no headless way to unlock it
# again, so a test that locks it does so last).

# shellcheck source=../lib/processes.sh
source "$VIGILMOUNT_HARNESS_DIR/lib/processes.sh"

keyring_owned() {
  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner org.freedesktop.secrets | grep -q true
}

keyring_default_collection() {
  gdbus call --session --dest org.freedesktop.secrets --object-path /org/freedesktop/secrets \
    --method org.freedesktop.Secret.Service.ReadAlias default | grep -q "/collection/"
}

start_keyring() {
  require session
  command -v gnome-keyring-daemon >/dev/null ||
    harness_fail "gnome-keyring-daemon is not installed (package gnome-keyring)"
  export VIGILMOUNT_KEYRING_PASSWORD="keyring-test-only"
  local dir="$VIGILMOUNT_TEST_ROOT/keyring"
  mkdir -m 700 -p "$dir"
  # The unlock password is read from stdin: it never appears on a command line.
  printf '%s' "$VIGILMOUNT_KEYRING_PASSWORD" |
    gnome-keyring-daemon --foreground --unlock --components=secrets \
      --control-directory="$dir" >"$dir/daemon.log" 2>&1 &
  echo $! >"$dir/pid"
  wait_until 10 "org.freedesktop.secrets on the session bus" keyring_owned
  wait_until 10 "the default keyring collection" keyring_default_collection
}

stop_keyring() {
  harness_stop_tree "$(cat "$VIGILMOUNT_TEST_ROOT/keyring/pid" 2>/dev/null)"
}
