# A stand-in for systemd-logind on the private system bus: it owns org.freedesktop.login1
# before the program under test starts, and emits PrepareForSleep(b) when a test calls its
# org.vigilmount.Test.EmitPrepareForSleep(b).

start_logind() {
  require systembus
  start_bus_fake system org.freedesktop.login1 logind.py logind
}
