# smbd on 127.0.0.1:445 with a private configuration and state under the test's folder:
#   media  - read-write, only for the test user (password below), holds one known file;
#   public - guest access.
# Exports VIGILMOUNT_SMB_HOST, VIGILMOUNT_SMB_USER, VIGILMOUNT_SMB_PASSWORD (test-only
# credentials, made up for each run), VIGILMOUNT_SMB_FILE (file name inside "media") and
# VIGILMOUNT_SMB_FILE_CONTENT (its content).

samba_ready() {
  smbclient -s "$VIGILMOUNT_TEST_ROOT/samba/smb.conf" -N -c ls //127.0.0.1/public
}

start_samba() {
  command -v smbd >/dev/null || harness_fail "smbd is not installed (package samba)"
  command -v smbclient >/dev/null || harness_fail "smbclient is not installed"
  local dir=$VIGILMOUNT_TEST_ROOT/samba user=vigilmount-share
  export VIGILMOUNT_SMB_HOST=127.0.0.1 VIGILMOUNT_SMB_USER=$user
  VIGILMOUNT_SMB_PASSWORD="share-$(od -An -N6 -tx1 /dev/urandom | tr -d ' \n')"
  export VIGILMOUNT_SMB_PASSWORD
  export VIGILMOUNT_SMB_FILE="welcome.txt" VIGILMOUNT_SMB_FILE_CONTENT="Vigilmount test share"

  id -u "$user" >/dev/null 2>&1 || useradd -M -N -s /usr/sbin/nologin "$user" ||
    harness_fail "could not create the user $user"

  mkdir -p "$dir"/{lock,state,cache,pids,private,ncalrpc,logs,media,public}
  # smbd reaches the shares as the mapped user: let it traverse (not list) the test folder.
  chmod o+x "$VIGILMOUNT_TEST_ROOT"
  printf '%s\n' "$VIGILMOUNT_SMB_FILE_CONTENT" >"$dir/media/$VIGILMOUNT_SMB_FILE"
  chown -R "$user" "$dir/media"
  chmod 700 "$dir/media"
  chmod 777 "$dir/public"
  cat >"$dir/smb.conf" <<CONF
[global]
  server role = standalone server
  workgroup = WORKGROUP
  netbios name = VIGILMOUNT-TEST
  interfaces = 127.0.0.1
  bind interfaces only = yes
  smb ports = 445
  disable netbios = yes
  lock directory = $dir/lock
  state directory = $dir/state
  cache directory = $dir/cache
  pid directory = $dir/pids
  private dir = $dir/private
  ncalrpc dir = $dir/ncalrpc
  log file = $dir/logs/%m.log
  passdb backend = tdbsam:$dir/private/passdb.tdb
  map to guest = Bad User
  guest account = nobody
  usershare path =
  load printers = no
  printing = bsd
  printcap name = /dev/null
  disable spoolss = yes

[media]
  path = $dir/media
  valid users = $user
  read only = no

[public]
  path = $dir/public
  guest ok = yes
  read only = no
CONF
  printf '%s\n%s\n' "$VIGILMOUNT_SMB_PASSWORD" "$VIGILMOUNT_SMB_PASSWORD" |
    pdbedit -s "$dir/smb.conf" -a -u "$user" -t >"$dir/logs/pdbedit.log" 2>&1 ||
    harness_fail "pdbedit could not add $user: $(cat "$dir/logs/pdbedit.log")"
  # smbd signals its whole process group when it ends: give it a group of its own so that it
  # never takes the runner (or ctest) with it.
  harness_spawn "$dir" setsid smbd -F --no-process-group -s "$dir/smb.conf" </dev/null
  wait_until 10 "smbd on 127.0.0.1:445" samba_ready
}
