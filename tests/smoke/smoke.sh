#!/usr/bin/env bash
# Starts the real brinewatch against the simulated adapter and checks that it
# polls the twelve sensors in order with the exact request texts. The program
# talks to the adapter host fixed at build time, so both run in a private
# network namespace where that loopback port is free whatever else runs here.
set -euo pipefail
program="$1" simulator="$2" host="$3"
port="${host##*:}"
[ "$port" = "$host" ] && port=80
case "$host" in
  127.*) ;;
  *) echo "adapter host $host is not on loopback: nothing to smoke-test here"; exit 77 ;;
esac

if [ -z "${BRINEWATCH_SMOKE_IN_NAMESPACE:-}" ]; then
  # The command line is read before any window: a word of one dash is a
  # usage error, and --check-site runs without a display.
  status=0; "$program" -site x.toml 2>/dev/null || status=$?
  [ "$status" -eq 2 ] || { echo "brinewatch -site ends with $status, not 2"; exit 1; }
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_CONFIG_HOME=/nonexistent \
    "$program" --check-site >/dev/null || { echo "brinewatch --check-site needs a display"; exit 1; }
  export BRINEWATCH_SMOKE_IN_NAMESPACE=1
  if [ "$(id -u)" -eq 0 ]; then ns=(unshare --net); else ns=(unshare --map-root-user --net); fi
  if ! "${ns[@]}" true 2>/dev/null; then
    echo "cannot create a network namespace here"; exit 77
  fi
  exec "${ns[@]}" "$0" "$@"
fi

ip link set lo up
work=$(mktemp -d)
trap 'kill "${sim:-}" "${app:-}" 2>/dev/null || true; rm -rf "$work"' EXIT

"$simulator" --listen "${host%%:*}" --port "$port" --conversion-ms 5 --log-requests >"$work/requests" &
sim=$!
for _ in $(seq 100); do grep -q . "$work/requests" 2>/dev/null && break; sleep 0.05; done

# The sensors built in: no site file of the user's is looked at.
XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 "$program" >"$work/program.out" 2>&1 &
app=$!
# Queries begin 750 ms apart, however fast the simulator answers: 24 take 17 s.
for _ in $(seq 1200); do
  [ "$(grep -c '^GET ' "$work/requests" || true)" -ge 24 ] && break
  kill -0 "$app" 2>/dev/null || { echo "brinewatch exited early:"; cat "$work/program.out"; exit 1; }
  sleep 0.05
done
kill -TERM "$app"
wait "$app" || true

# The first twelve ROM codes of the table built in, as the program lists them.
roms=$(XDG_CONFIG_HOME="$work/config" "$program" --check-site | grep -oE '\b[0-9A-F]{16}\b' | head -12)
[ "$(echo "$roms" | wc -l)" -eq 12 ] || { echo "brinewatch --check-site lists no twelve ROM codes"; exit 1; }
expected=$(for round in 1 2; do
  for rom in $roms; do
    echo "GET /1Wire/ReadDS18B20.html?DS18B20Request=%7b$rom,12%7d HTTP/1.1"
  done
done)
actual=$(grep '^GET ' "$work/requests" | head -24)
if [ "$actual" != "$expected" ]; then
  echo "request lines differ:"; diff <(echo "$expected") <(echo "$actual") || true; exit 1
fi
echo "brinewatch polled twelve sensors twice in order with exact request lines"
