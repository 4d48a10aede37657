#!/usr/bin/env bash
# The command line's whole runs as an ordinary user would make them: the
# virtual sensor linked as COM2 in the user's own configuration folder,
# then read, a second read right after it, write with read-back, compare,
# and RUN followed by a new connection (the dialog's CONNECT, RUN, CONNECT).
# A second Ctrl-C, which ends the program without its exit handlers, must
# leave the port free as well. Root is never refused a tty another program
# holds exclusively, so a port left locked after a run would pass unseen as
# root: run as root, the script starts itself again as nobody (uid 65534) in
# a folder of its own.
#
#   bash tests/unprivileged_end_to_end.sh BIN_DIR
set -euo pipefail

bin=$1
if [ "$(id -u)" = 0 ]; then
  home=$(mktemp -d /tmp/zema-unprivileged.XXXXXX)
  trap 'rm -rf "$home"' EXIT
  # The programs are copied: the build folder need not be open to nobody.
  mkdir "$home/bin"
  cp "$bin/zema-sim" "$bin/zema-transfer" "$home/bin/"
  chown -R 65534:65534 "$home"
  status=0
  setpriv --reuid=65534 --regid=65534 --clear-groups \
    env HOME="$home" XDG_CONFIG_HOME="$home/.config" LANG=C \
    bash "$0" "$home/bin" || status=$?
  exit "$status"
fi

work=$(mktemp -d)
sims=()
cleanup() {
  for pid in "${sims[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

config=${XDG_CONFIG_HOME:-$HOME/.config}/zema-loader
mkdir -p "$config/dosdevices"
# COM2 answers at once; COM3 takes 3 s to store an image in flash.
start_sensor() {
  local port=$1 delay=$2
  "$bin/zema-sim" --link "$config/dosdevices/com$port" --no-pace --flash-delay "$delay" \
    >"$work/sim$port.out" &
  sims+=($!)
  # The sensor names its terminal once it serves and the link points at it.
  until [ -s "$work/sim$port.out" ]; do
    kill -0 "${sims[-1]}" 2>/dev/null || { echo "the virtual sensor did not start" >&2; exit 1; }
    sleep 0.1
  done
}
start_sensor 2 0
start_sensor 3 3000

step() {
  echo "--- zema-transfer $*"
  if ! "$bin/zema-transfer" "$@" --port 2 --quiet; then
    echo "FAILED as uid $(id -u): zema-transfer $*" >&2
    exit 1
  fi
}

base=$work/line1
step read --all --base "$base"
step read --all --base "$base" --overwrite
step write --all --base "$base" --verify
step compare --all --base "$base"
step resume
step read --common --base "$base" --overwrite --resume
step compare --params --banks 2-4 --base "$base"

# A second Ctrl-C ends the program at once, without its exit handlers (here
# while the sensor stores the table in flash); the next run must still be
# able to open the port.
"$bin/zema-transfer" write --compensation --base "$base" --port 3 2>"$work/forced.err" &
writer=$!
until grep -q "compensation" "$work/forced.err"; do
  kill -0 "$writer" 2>/dev/null || break
  sleep 0.1
done
sleep 0.5
kill -INT "$writer"
sleep 0.2
kill -INT "$writer"
status=0
wait "$writer" || status=$?
if [ "$status" != 3 ]; then
  echo "a forced end should exit with 3, not $status" >&2
  exit 1
fi
sleep 3  # the sensor finishes its store
if ! "$bin/zema-transfer" read --common --base "$base" --overwrite --port 3 --quiet; then
  echo "FAILED as uid $(id -u): the port stayed locked after a forced end" >&2
  exit 1
fi

count=$(find "$work" -name 'line1.*' | wc -l)
if [ "$count" != 32 ]; then
  echo "expected the 32 files of a whole backup, found $count" >&2
  exit 1
fi
echo "all runs passed as uid $(id -u)"
