#!/usr/bin/env bash
# Builds the Debian package and tries it as a user of the installed programs
# would, then removes it again, so that the machine keeps exactly the
# packages it had:
#   - lists the package (dpkg-deb --info, --contents) and runs lintian on it;
#   - installs it with apt-get, which resolves its dependencies;
#   - zema-transfer --version, and a short zema-transfer read against the
#     installed zema-sim, found as COM1 through ~/.config/zema-loader/dosdevices;
#   - the installed zema-loader offscreen for a moment;
#   - the installed zema-loader under Xvfb in German: CONNECT to the same
#     COM1, then EXIT answered with Alt+J (the "&Ja" of Qt's German
#     catalogue, so it answers only when the installed Qt's translations were
#     loaded) and the question whether to send the sensor back to RUN with
#     Alt+N; the settings must land in ~/.config/zema-loader/, never beside
#     the program in /usr/bin, even when run by root;
#   - removes the package and whatever its installation pulled in, and
#     nothing else.
#
#   bash scripts/package-check.sh        (as root, or a user who may sudo)
#
# Everything the programs write goes to a temporary HOME.
set -euo pipefail

package=zema-loader

source "$(dirname "$0")/x11-windows.sh"

# The loader under the virtual X server (a process of its own, started by
# xvfb-run): CONNECT, then EXIT with Alt+J. WORK is the loader's folder.
loader=
session() {
  local work=$1 main question resume
  trap '[ -z "$loader" ] || kill "$loader" 2>/dev/null || true' EXIT
  (cd "$work" && exec /usr/bin/zema-loader) &
  loader=$!
  main=$(new_window)
  sleep 1  # painted
  xdotool windowfocus --sync "$main"
  xdotool key Tab space   # CONNECT; when it succeeds the focus moves to RUN
  sleep 1
  xdotool key Tab space   # EXIT: "Agree to Exit?"
  question=$(new_window "$main")
  sleep 0.5
  xdotool windowfocus --sync "$question"
  xdotool key alt+j       # "&Ja"
  # Still connected, the loader asks whether to send the sensor back to RUN.
  resume=$(new_window "$main" "$question")
  sleep 0.5
  xdotool windowfocus --sync "$resume"
  xdotool key alt+n       # "&Nein": leave it as it is
  if ! wait_for_end "$loader"; then
    echo "the loader did not end: Alt+J did not answer its question (no German buttons?)" >&2
    return 1
  fi
  wait "$loader"
}

if [ "${1:-}" = "--session" ]; then
  shift
  session "$@"
  exit
fi

cd "$(dirname "$0")/.."
as_root=()
if [ "$(id -u)" -ne 0 ]; then as_root=(sudo); fi

if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q installed; then
  echo "${package} is installed already; remove it first, the check removes it at its end" >&2
  exit 1
fi

echo "=== package: configure, build, cpack"
cmake --preset package
cmake --build --preset package
rm -f build-package/"${package}"_*.deb
cpack --preset package
debs=(build-package/"${package}"_*.deb)
deb=$PWD/${debs[0]}

echo "=== ${deb}"
dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"

echo "=== desktop-file-validate, lintian"
desktop-file-validate packaging/zema-loader.desktop
# Every finding fails the check, down to the informational ones; those the
# package keeps on purpose are overridden, with the reason, in
# packaging/lintian-overrides, and listed here with it (O:).
lintian -I --show-overrides "$deb" | tee "$PWD/build-package/lintian.txt"
if grep -E '^[EWI]: ' build-package/lintian.txt >/dev/null; then
  echo "lintian has findings" >&2
  exit 1
fi

work=$(mktemp -d)
home=$work/home
mkdir -p "$home"
# What the installation adds: the package and any dependency not yet
# installed, as apt would install them now. Only these are removed again,
# so that a package someone else installs meanwhile stays.
added=$(apt-get install -s "$deb" 2>/dev/null | awk '/^Inst / { print $2 }')
[ -n "$added" ]
# Those of them that are installed (dpkg-query fails for a name it has
# never seen).
still_installed() {
  # shellcheck disable=SC2086
  { dpkg-query -W -f='${db:Status-Status} ${Package}\n' $added 2>/dev/null || true; } |
    awk '$1 != "not-installed" { print $2 }'
}
stray_before=$(ls /usr/bin/zema-loader.ini 2>/dev/null || true)
sim=
cleanup() {
  local status=$?
  if [ -n "$sim" ]; then kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; fi
  local present
  present=$(still_installed)
  if [ -n "$present" ]; then
    echo "=== removing: ${present//$'\n'/ }"
    # shellcheck disable=SC2086
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq $present >/dev/null
  fi
  # A settings file the loader put beside itself would outlive the package.
  if [ -z "$stray_before" ] && [ -e /usr/bin/zema-loader.ini ]; then
    "${as_root[@]}" rm -f /usr/bin/zema-loader.ini
  fi
  if [ -n "$(still_installed)" ]; then
    echo "not everything the check installed is gone: ${added//$'\n'/ }" >&2
    status=1
  fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT

echo "=== install"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
dpkg-query -W -f='${Package} ${Version} ${Status}\n' "$package"

# The installed programs, as a user with an empty home would run them.
user_env=(env -i PATH=/usr/bin:/bin HOME="$home" LANG=C.UTF-8)

echo "=== zema-transfer --version"
version=$("${user_env[@]}" zema-transfer --version)
echo "$version"
[ "$version" = "zema-transfer $(dpkg-deb -f "$deb" Version)" ]

echo "=== zema-sim as COM1 in ~/.config/zema-loader/dosdevices"
"${user_env[@]}" zema-sim --no-pace --trace --link "$home/.config/zema-loader/dosdevices/com1" \
  >"$work/sim-ready" 2>"$work/sim.log" &
sim=$!
until [ -s "$work/sim-ready" ]; do
  kill -0 "$sim" 2>/dev/null || { cat "$work/sim.log" >&2; exit 1; }
  sleep 0.1
done

echo "=== zema-transfer read"
"${user_env[@]}" zema-transfer ports
"${user_env[@]}" zema-transfer read --params --banks 3 --base "$work/line1" --port 1
# The virtual sensor's parameter set 3 holds 3000 + i.
[ "$(wc -l <"$work/line1.pr3.zema")" -eq 32 ]
[ "$(head -n 1 "$work/line1.pr3.zema")" = 3000 ]
[ "$(tail -n 1 "$work/line1.pr3.zema")" = 3031 ]
echo "line1.pr3.zema: 32 lines, 3000 to 3031"

echo "=== zema-loader offscreen"
status=0
"${user_env[@]}" QT_QPA_PLATFORM=offscreen timeout 3 zema-loader >"$work/offscreen.log" 2>&1 || status=$?
cat "$work/offscreen.log"
# timeout's 124: the loader was still running when it was stopped.
[ "$status" -eq 124 ] || { echo "zema-loader ended with ${status} on its own" >&2; exit 1; }

echo "=== zema-loader under Xvfb, in German: CONNECT, EXIT, Ja"
mkdir -p "$work/loader"
frames_before=$(wc -l <"$work/sim.log")
"${user_env[@]}" LANG=de_DE.UTF-8 QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" \
  bash "$PWD/scripts/package-check.sh" --session "$work/loader"
# CONNECT reached the sensor: it acknowledged the link check (command 0x88).
tail -n +"$((frames_before + 1))" "$work/sim.log" | grep -A 1 'PC -> ZEMA  88 ' |
  grep 'ZEMA -> PC  06 ' ||
  { echo "the loader did not reach the sensor" >&2; cat "$work/sim.log" >&2; exit 1; }
settings=$home/.config/zema-loader/zema-loader.ini
[ "$(cat "$settings")" = "$(printf '0\n4\n0\n14\n1\n1\n1\n0\n0\nUntitled')" ] ||
  { echo "no settings in ${settings}" >&2; exit 1; }
echo "settings saved in ~/.config/zema-loader/zema-loader.ini"
for stray in /usr/bin/zema-loader.ini "$work/loader/zema-loader.ini"; do
  if [ -e "$stray" ]; then echo "settings written to ${stray}" >&2; exit 1; fi
done

echo "=== package check passed"
