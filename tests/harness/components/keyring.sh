# gnome-keyring (secrets component only) on the private session bus, with its login keyring
# unlocked by a known test password. The keyring files live under $XDG_DATA_HOME/keyrings,
# which the runner creates fresh for every test program.
#
# Exports VIGILMOUNT_KEYRING_PASSWORD (the unlock password). A test locks the default
# collection with tests/harness/tools/keyring-lock.sh (there is no headless way to unlock it
# again, so a test that locks it does so last).

keyring_default_collection() {
  gdbus call --session --dest org.freedesktop.secrets --object-path /org/freedesktop/secrets \
    --method org.freedesktop.Secret.Service.ReadAlias default | grep -q "/collection/"
}

start_keyring() {
  require session
  command -v gnome-keyring-daemon >/dev/null ||
    harness_fail "gnome-keyring-daemon is not installed (package gnome-keyring)"
  export VIGILMOUNT_KEYRING_PASSWORD="keyring-test-only"
  local dir=$VIGILMOUNT_TEST_ROOT/keyring
  mkdir -m 700 -p "$dir"
  # The unlock password is read from stdin: it never appears on a command line.
  harness_spawn "$dir" gnome-keyring-daemon --foreground --unlock --components=secrets \
    --control-directory="$dir" < <(printf '%s' "$VIGILMOUNT_KEYRING_PASSWORD")
  wait_until 10 "the keyring's default collection" keyring_default_collection
}
