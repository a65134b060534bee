#!/usr/bin/env bash
# The roster of 200 teams x 25 members as a member lives with it, measured from outside: the
# real client, with the GUI-stall probe preloaded, signs in against the fake service serving that
# roster on a private Xvfb display, and one member's memo changes before every 60 s refresh.
#
#   bench/roster/roster_probe.sh [BUILD_DIR] [REFRESHES]
#
# BUILD_DIR (default build-bench) is a Release build with -DBUILD_BENCHMARKS=ON;
# REFRESHES (default 5) is the number of refreshes watched after the first load, one a minute.
# KEEP=<dir> keeps the gaps, the traces and the logs there. CLIENT=<path> measures another client binary against the same service (a build of another
# commit, for before and after). STALL_PROBE names another build of the GUI-stall probe
# (default the one the benchmark build made from bench/probe).
#
# Prints the longest GUI-thread gap of the first load (sign-in to the first refresh) and of every
# refresh (one teams request to the next), with the median and range over the refreshes; each
# also less the times the system woke the GUI thread late within the gap (the wake probe,
# preloaded beside the stall probe): what the client itself held the thread.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build-bench}" && pwd)
refreshes=${2:-5}

if [ -z "${MQ_ROSTER_PROBE_INNER:-}" ]; then
  export MQ_ROSTER_PROBE_INNER=1
  exec "$root/tests/run-isolated" --x11 "$0" "$build" "$refreshes"
fi

client=${CLIENT:-$build/src/movarelquintash-client}
probe=${STALL_PROBE:-$build/bench/libstall_probe.so}
wake_probe=$build/bench/libwake_probe.so
for p in "$probe" "$wake_probe"; do
  [ -s "$p" ] || { echo "roster_probe: no probe at $p: build the benchmarks first" >&2; exit 2; }
done
ca=$build/testca
work=$(mktemp -d "${TMPDIR:-/tmp}/roster-probe.XXXXXX")
service_pid=""
client_pid=""
cleanup() {
  set +e
  [ -n "$client_pid" ] && kill "$client_pid" 2>/dev/null && wait "$client_pid" 2>/dev/null
  [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null && wait "$service_pid" 2>/dev/null
  [ -n "${KEEP:-}" ] && cp -r "$work" "$KEEP"
  rm -rf "$work"
}
trap cleanup EXIT

"$build/tests/fakeservice/fakeservice" --cert "$ca/server.pem" --key "$ca/server.key" \
  --roster 200x25 --update-version "" >"$work/service.out" 2>&1 &
service_pid=$!
port=""
for _ in $(seq 1 100); do
  port=$(sed -n 's/^LISTENING \([0-9]*\)$/\1/p' "$work/service.out")
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { cat "$work/service.out" >&2; exit 1; }
control() {
  curl -s --cacert "$ca/ca.pem" "$@" "https://127.0.0.1:$port/control/member" >/dev/null
}

trace=$HOME/.local/share/restApiLog.log
gaps=$work/gaps.txt
wakes=$work/wakes.txt
MOVARELQUINTASH_API_URL="https://127.0.0.1:$port" MOVARELQUINTASH_CA_FILE="$ca/ca.pem" \
  MOVARELQUINTASH_CHAT_HOST=127.0.0.1 MOVARELQUINTASH_CHAT_PORT=9 \
  MOVARELQUINTASH_WEB_URL="http://127.0.0.1:9" \
  STALL_PROBE_MIN=8 STALL_PROBE_OUT="$gaps" WAKE_PROBE_OUT="$wakes" \
  LD_PRELOAD="$probe $wake_probe" "$client" \
  >"$work/client.out" 2>&1 &
client_pid=$!

dialog=$(timeout 30 xdotool search --sync --onlyvisible --name "^Sign in - " | head -n1)
xdotool windowfocus --sync "$dialog"
xdotool type --delay 10 demo
xdotool key Tab
xdotool type --delay 10 demo123
signed_in=$(date +%s%3N)
xdotool key Return

# Milliseconds since the epoch of every teams request in the client's REST trace (local times
# of day; a run across midnight is not supported).
midnight=$(($(date -d "today 00:00" +%s) * 1000))
teams_requests() {
  [ -f "$trace" ] || return 0
  awk -v base="$midnight" '/GetTeamsState POST/ {
      split($1, t, /[:.]/); printf "%.0f\n", base + ((t[1] * 60 + t[2]) * 60 + t[3]) * 1000 + t[4] }' "$trace"
}

# Waits until the trace holds `n` teams requests.
wait_for_requests() {
  local n=$1
  for _ in $(seq 1 1800); do
    [ "$(teams_requests | wc -l)" -ge "$n" ] && return 0
    sleep 0.1
  done
  echo "no teams request $n in 180 s" >&2
  exit 1
}

# Refresh k is announced by teams request k + 1; one memo changes before each.
for k in $(seq 1 "$refreshes"); do
  wait_for_requests "$k"
  sleep 20
  control -d id=$((100000 + 25 * (k % 200) + 1)) -d memo="Memo of refresh $k"
done
wait_for_requests $((refreshes + 1))
sleep 40
kill "$client_pid"
wait "$client_pid" 2>/dev/null || true
client_pid=""
cp "$trace" "$HOME/.local/share/Movarelquintash Client.log" "$work/" 2>/dev/null || true

# The longest gap that ended inside each window: the first load (from the sign-in to the second
# teams request), then each refresh (from its teams request to the next); each also less the late
# wakes that ended within the gap (a wake ends a millisecond at most before the tick that notes it).
touch "$wakes"
teams_requests | tail -n +2 >"$work/requests.txt"
echo "$signed_in" | cat - "$work/requests.txt" | awk -v gapsfile="$gaps" -v wakesfile="$wakes" \
  -v n="$refreshes" '
  function sorted_middle(v, count,   i, j, t) {
    for (i = 1; i <= count; ++i) for (j = i + 1; j <= count; ++j)
      if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
    return sprintf("median %d ms [%d-%d]", v[int((count + 1) / 2)], v[1], v[count])
  }
  { start[NR - 1] = $1 }
  END {
    start[n + 1] = start[n] + 60000
    wakes = 0
    while ((getline line < wakesfile) > 0) { split(line, k, " "); wake_end[++wakes] = k[1]; wake_late[wakes] = k[2] }
    while ((getline line < gapsfile) > 0) {
      split(line, g, " ")
      own = g[2]
      for (i = 1; i <= wakes; ++i)
        if (wake_end[i] > g[1] - g[2] && wake_end[i] <= g[1] + 1) own -= wake_late[i]
      for (w = 0; w <= n; ++w)
        if (g[1] >= start[w] && g[1] < start[w + 1]) {
          if (g[2] > longest[w]) longest[w] = g[2]
          if (own > longest_own[w]) longest_own[w] = own
        }
    }
    printf "first load: longest gap %d ms (%d less late wakes)\n", longest[0], longest_own[0]
    for (w = 1; w <= n; ++w) {
      value[w] = longest[w] + 0
      value_own[w] = int(longest_own[w] + 0.5)
      printf "refresh %d: longest gap %d ms (%d less late wakes)\n", w, value[w], value_own[w]
    }
    printf "refreshes: %s, less late wakes %s, over %d (gaps under 9 ms count as 0)\n",
      sorted_middle(value, n), sorted_middle(value_own, n), n
  }'
