#!/usr/bin/env bash
# Locks the keyring's default collection (the login keyring) on the session bus in
# $DBUS_SESSION_BUS_ADDRESS. Exits non-zero when it is not locked afterwards.
set -euo pipefail
collection=$(gdbus call --session --dest org.freedesktop.secrets \
  --object-path /org/freedesktop/secrets \
  --method org.freedesktop.Secret.Service.ReadAlias default | sed -n "s/^(objectpath '\(.*\)',)$/\1/p")
[ -n "$collection" ] && [ "$collection" != / ] || { echo "keyring-lock: no default collection" >&2; exit 1; }
gdbus call --session --dest org.freedesktop.secrets --object-path /org/freedesktop/secrets \
  --method org.freedesktop.Secret.Service.Lock "['$collection']" >/dev/null
locked=$(gdbus call --session --dest org.freedesktop.secrets --object-path "$collection" \
  --method org.freedesktop.DBus.Properties.Get org.freedesktop.Secret.Collection Locked)
[ "$locked" = "(<true>,)" ] || { echo "keyring-lock: $collection is still unlocked" >&2; exit 1; }
