#!/usr/bin/env bash
# The shipped logrotate configuration against a running brinewatchd: rotations
# forced while it logs, then every record is found in exactly one of the live,
# the rotated and the compressed files, whole, in order, none twice, and as
# many as the logger counts written.
#
#   logrotate_check.sh BRINEWATCHD SIMULATOR LOGROTATE_CONFIG
set -euo pipefail
daemon="$1" simulator="$2" shipped="$3"
command -v logrotate >/dev/null 2>&1 || { echo "logrotate not installed (Debian: logrotate)"; exit 77; }
command -v curl >/dev/null 2>&1 || { echo "curl not installed"; exit 77; }
work=$(mktemp -d)
trap 'kill "${logger:-}" "${sim:-}" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# The shipped file with its folder moved to the test's own.
state="$work/state"
mkdir -m 0750 "$state"
grep -q '^/var/lib/brinewatch/' "$shipped" || fail "the configuration names no /var/lib/brinewatch/ logs"
sed "s|^/var/lib/brinewatch/|$state/|" "$shipped" >"$work/logrotate.conf"
grep -qE '^[[:space:]]*copytruncate' "$work/logrotate.conf" && fail "copytruncate loses the records written meanwhile"
mode=$(sed -n 's/^[[:space:]]*create[[:space:]]\+\([0-7]\+\).*/\1/p' "$work/logrotate.conf")
[ -n "$mode" ] || fail "the configuration does not create the new log with a mode"

"$simulator" --port 0 --conversion-ms 0 >"$work/sim.out" 2>&1 &
sim=$!
for _ in $(seq 100); do grep -q 'listening on' "$work/sim.out" && break; sleep 0.05; done
adapter=$(sed -n 's/.*listening on //p' "$work/sim.out")
[ -n "$adapter" ] || fail "the simulator did not start: $(cat "$work/sim.out")"

# Two sensors: a line every 1.5 s, so each line has a stamp of its own. A
# metrics port taken meanwhile ends the logger at once; another is tried.
metric() { curl -sf "http://127.0.0.1:$metrics_port/metrics" | sed -n "s/^$1 //p"; }
for _ in 1 2 3 4 5; do
  metrics_port=$(( (RANDOM % 20000) + 30000 ))
  cat >"$work/site.toml" <<EOF
adapter = "$adapter"
log = "$state/tank.log"
metrics = "127.0.0.1:$metrics_port"
[[sensor]]
slot = 1
rom = "9C000000B4A89828"
[[sensor]]
slot = 2
rom = "06000000A4EC7428"
EOF
  "$daemon" --site "$work/site.toml" >"$work/logger.out" 2>&1 &
  logger=$!
  for _ in $(seq 100); do
    [ -n "$(metric brinewatch_log_records_written_total || true)" ] && break 2
    kill -0 "$logger" 2>/dev/null || break
    sleep 0.1
  done
  kill "$logger" 2>/dev/null || true
  wait "$logger" 2>/dev/null || true
done
[ -n "$(metric brinewatch_log_records_written_total || true)" ] ||
  fail "brinewatchd serves no metrics: $(cat "$work/logger.out")"

# Rotations at uneven moments, so some fall close to a record being written.
for pause in 2.0 1.3 2.2 0.9 1.7 2.6 1.1 1.9 3.1 1.4; do
  sleep "$pause"
  logrotate -f -s "$work/logrotate.state" "$work/logrotate.conf" ||
    fail "logrotate -f failed"
  kill -0 "$logger" 2>/dev/null || fail "brinewatchd ended: $(cat "$work/logger.out")"
done
sleep 2

# Every file in the order its records were written: the oldest compressed one
# first, the live log last.
records() {
  local n
  for n in $(ls "$state" | sed -n 's/^tank\.log\.\([0-9]\+\)\.gz$/\1/p' | sort -rn); do
    gzip -dc "$state/tank.log.$n.gz"
  done
  [ -f "$state/tank.log.1" ] && cat "$state/tank.log.1"
  cat "$state/tank.log"
}
# The counter and the files read together: again when a record came meanwhile.
counted='' lines=''
for _ in $(seq 20); do
  before=$(metric brinewatch_log_records_written_total)
  records >"$work/all"
  after=$(metric brinewatch_log_records_written_total)
  [ "$before" = "$after" ] && { counted="$after"; break; }
done
[ -n "$counted" ] || fail "the logger never stood still long enough to count"
lines=$(wc -l <"$work/all")
echo "files: $(ls "$state" | tr '\n' ' ')"
echo "records: $lines lines in the files, $counted written by the logger's count"

compressed=$(ls "$state" | grep -c '^tank\.log\.[0-9]\+\.gz$' || true)
[ "$compressed" -ge 5 ] || fail "only $compressed compressed files after ten rotations"
[ -f "$state/tank.log.1" ] || fail "the month just rotated is not kept uncompressed"
[ "$(stat -c %a "$state/tank.log")" = "$(printf %o "$((8#$mode))")" ] ||
  fail "the new log has mode $(stat -c %a "$state/tank.log"), not $mode"
failures=$(metric brinewatch_log_write_failures_total)
[ "$failures" = 0 ] || fail "$failures records could not be written"
[ "$lines" -ge 10 ] || fail "only $lines records in 20 s"
[ "$lines" = "$counted" ] || fail "$lines lines in the files, $counted records written"
# Each line whole: the stamp, two readings and then the empty slots, CR LF.
bad=$(grep -cvaE $'^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}, .*-1 \r$' "$work/all" || true)
[ "$bad" = 0 ] || { grep -vaE $'^[0-9]{4}-.*\r$' "$work/all" | head -3; fail "$bad lines are not whole records"; }
# In order and none twice: each stamp later than the one before.
cut -c1-19 "$work/all" >"$work/stamps"
sort -c -u "$work/stamps" 2>"$work/sort.err" ||
  fail "records out of order or twice: $(cat "$work/sort.err")"
echo "every record once, whole and in order across $((compressed + 2)) files"
