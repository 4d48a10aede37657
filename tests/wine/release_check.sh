#!/usr/bin/env bash
# The Windows release (build-windows/release) as an administrator and a user
# meet it, under Wine in a throw-away prefix whose server ends with its last
# program (wine_prefix.sh create DIR transient), so that `wineserver -w`
# waits for the uninstaller, which hands its work to a copy of itself and
# returns at once.
#
#   release_check.sh install  silent setup: the files, the Start-menu entry
#       and the Apps & Features entry are there; the installed
#       zema-transfer.exe reads the common set from zema-sim; the silent
#       uninstall removes all of it and nothing else
#   release_check.sh loader   the installed zema-loader.exe saves its
#       settings into %APPDATA%\zema-loader\ at EXIT, and the uninstall
#       leaves them there
#   release_check.sh zip      the ZIP holds the programs and the texts;
#       unpacked anywhere, they run, and zema-loader.exe saves beside itself
#
# Environment: WINEPREFIX, ZEMA_SETUP and ZEMA_ZIP (the release's files),
# ZEMA_SIM (the virtual sensor). Exit status 77: skipped, the release has no
# zema-loader.exe to try.
set -euo pipefail
mode=${1:?install, loader or zip}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d" LC_ALL=C
source "$(dirname "$0")/../../scripts/x11-windows.sh"
programs=(zema-transfer.exe)
if cmake -E tar tf "$ZEMA_ZIP" | grep -q '/zema-loader\.exe$'; then programs+=(zema-loader.exe); fi
# The dialog program's windows need an X server.
if [ "$mode" != install ] && [ "${#programs[@]}" = 2 ] && [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a bash "$0" "$@"
fi

work=$(mktemp -d)
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
mkdir -p "$HOME"
sim=
trap '[ -z "$sim" ] || kill "$sim" 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

folder="$WINEPREFIX/drive_c/Program Files/ZEMA Data Loader"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/ZEMA Data Loader.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZEMA Data Loader'
app_data=("$WINEPREFIX"/drive_c/users/*/AppData/Roaming)
listing() { (cd "$1" && ls | sort | tr '\n' ' '); }
expected() { printf '%s\n' "$@" | sort | tr '\n' ' '; }

install() {
  wine "$ZEMA_SETUP" /S
  [ "$(listing "$folder")" = "$(expected "${programs[@]}" README.txt LICENSE.txt \
    zema-loader.ico uninstall.exe)" ] || fail "installed: $(listing "$folder")"
  echo "installed: $(listing "$folder")"
}

uninstall() {
  wine 'C:\Program Files\ZEMA Data Loader\uninstall.exe' /S
  wineserver -w
  [ ! -e "$shortcut" ] || fail "the Start-menu entry stays"
  if wine reg query "$key" >/dev/null 2>&1; then fail "the Apps & Features entry stays"; fi
  echo "uninstalled"
}

# The loader started from a Windows path: EXIT (the dialog's OK command,
# Return) and Yes to "Agree to Exit?".
loader_exit_yes() {
  wine "$1" &
  local loader=$! main question
  main=$(new_window) && sleep 1
  xdotool windowfocus --sync "$main" key Return
  question=$(new_window "$main") && sleep 0.5
  xdotool windowfocus --sync "$question" key y
  wait_for_end "$loader" || fail "the loader did not end at EXIT, Yes"
}

case "$mode" in
  install)
    install
    # The entry opens the dialog program; without it, a command prompt.
    target=cmd.exe && [ "${#programs[@]}" = 1 ] || target=zema-loader.exe
    strings "$shortcut" | grep -q "^C:.*\\${target}$" || fail "the Start-menu entry opens no ${target}"
    strings -el "$shortcut" | grep -q 'zema-loader\.ico$' || fail "no icon in the Start-menu entry"
    entry=$(wine reg query "$key" | tr -d '\r')
    echo "$entry"
    for value in "DisplayName *REG_SZ *ZEMA Data Loader$" "DisplayVersion *REG_SZ *[0-9.]+$" \
      "Publisher *REG_SZ" "DisplayIcon *REG_SZ .*zema-loader\.ico$" "EstimatedSize *REG_DWORD *0x[1-9a-f]" \
      'UninstallString *REG_SZ *"C:\\Program Files\\ZEMA Data Loader\\uninstall\.exe"$' \
      'QuietUninstallString *REG_SZ .*uninstall\.exe" /S$'; do
      grep -Eq "^ *${value}" <<<"$entry" || fail "Apps & Features: no ${value}"
    done

    "$ZEMA_SIM" --no-pace --link "$WINEPREFIX/dosdevices/com120" >"$work/sim-ready" &
    sim=$!
    until [ -s "$work/sim-ready" ]; do kill -0 "$sim" && sleep 0.1; done
    wine 'C:\Program Files\ZEMA Data Loader\zema-transfer.exe' read --common --port 120 \
      --base "Z:${work//\//\\}\\line1"
    # The virtual sensor's common set holds 15000 + i.
    [ "$(head -n 1 "$work/line1.prM.zema")" = 15000 ] && [ "$(wc -l <"$work/line1.prM.zema")" = 32 ] ||
      fail "the common set read: $(cat "$work/line1.prM.zema")"
    echo "the installed zema-transfer.exe read line1.prM.zema: 32 lines from 15000"
    wineserver -w

    # A settings file an administrator put beside the programs is not the
    # uninstaller's: it stays, and with it the folder.
    echo x >"$folder/zema-loader.ini"
    uninstall
    [ "$(listing "$folder")" = "zema-loader.ini " ] || fail "left behind: $(listing "$folder")"
    rm -r "$folder"
    ;;
  loader)
    [ "${#programs[@]}" = 2 ] || { echo "skipped: the release has no zema-loader.exe"; exit 77; }
    install
    loader_exit_yes 'C:\Program Files\ZEMA Data Loader\zema-loader.exe'
    settings=${app_data[0]}/zema-loader/zema-loader.ini
    [ -f "$settings" ] || fail "no settings in %APPDATA%\\zema-loader"
    [ ! -e "$folder/zema-loader.ini" ] || fail "settings written beside the installed program"
    uninstall
    [ ! -e "$folder" ] && [ -f "$settings" ] || fail "the uninstall took the user's settings"
    echo "settings kept in ${settings#"$WINEPREFIX/"}"
    rm -r "${settings%/*}"
    ;;
  zip)
    cmake -E tar tf "$ZEMA_ZIP" | tee "$work/entries"
    name=$(basename "$ZEMA_ZIP" .zip)
    [ "$(sed "s|^${name}/||" "$work/entries" | sort | tr '\n' ' ')" = \
      "$(expected "" "${programs[@]}" README.txt LICENSE.txt)" ] || fail "ZIP entries"
    (cd "$work" && cmake -E tar xf "$ZEMA_ZIP")
    wine "$work/$name/zema-transfer.exe" --version | grep -q '^zema-transfer [0-9]' ||
      fail "the unpacked zema-transfer.exe does not run"
    if [ "${#programs[@]}" = 2 ]; then
      loader_exit_yes "$work/$name/zema-loader.exe"
      [ -f "$work/$name/zema-loader.ini" ] || fail "no settings beside the unpacked zema-loader.exe"
      [ ! -e "${app_data[0]}/zema-loader" ] || fail "the unpacked loader saved into %APPDATA%"
      echo "the unpacked zema-loader.exe saved zema-loader.ini beside itself"
    fi
    ;;
  *) fail "unknown mode ${mode}" ;;
esac
echo "release check ${mode} passed"
