#!/usr/bin/env bash
# The Windows release under Wine, as an administrator and a user meet it:
#   install  silent setup, its files, Start-menu and Apps & Features entries;
#            the installed zema-transfer.exe reads from zema-sim; the silent
#            uninstall takes all of it and nothing else
#   loader   the installed zema-loader.exe saves into %APPDATA%\zema-loader\
#            at EXIT, and the uninstall keeps that (77, skipped, without it)
#            and, started in its own folder, READ of "Untitled" lands in Documents
#   zip      the ZIP's entries; unpacked, the program runs
# Environment: WINEPREFIX (server not kept running: `wineserver -w` waits for
# the uninstaller's copy), ZEMA_SETUP, ZEMA_ZIP, ZEMA_SIM.
set -euo pipefail
mode=${1:?install, loader or zip}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d" LC_ALL=C
source "$(dirname "$0")/../../scripts/x11-windows.sh"
programs=(zema-transfer.exe)
if cmake -E tar tf "$ZEMA_ZIP" | grep '/zema-loader\.exe$' >/dev/null; then programs+=(zema-loader.exe); fi
if [ "$mode" = loader ]; then
  [ "${#programs[@]}" = 2 ] || { echo "skipped: the release has no zema-loader.exe"; exit 77; }
  [ -n "${DISPLAY:-}" ] || exec xvfb-run -a bash "$0" "$@"
fi

work=$(mktemp -d)
export HOME=$work XDG_CONFIG_HOME=$work/.config
sim= && trap '[ -z "$sim" ] || kill "$sim" 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

folder="$WINEPREFIX/drive_c/Program Files/ZEMA Data Loader"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/ZEMA Data Loader.lnk"
desktop="$WINEPREFIX/drive_c/users/Public/Desktop/ZEMA Data Loader.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZEMA Data Loader'
listing() { (cd "$1" && ls | sort | tr '\n' ' '); }
expected() { printf '%s\n' "$@" | sort | tr '\n' ' '; }

install() {
  wine "$ZEMA_SETUP" /S "$@"
  [ "$(listing "$folder")" = "$(expected "${programs[@]}" README.txt LICENSE.txt \
    zema-loader.ico uninstall.exe)" ] || fail "installed: $(listing "$folder")"
  echo "installed: $(listing "$folder")"
}

uninstall() {
  wine 'C:\Program Files\ZEMA Data Loader\uninstall.exe' /S
  wineserver -w
  [ ! -e "$shortcut" ] || fail "the Start-menu entry stays"
  [ ! -e "$desktop" ] || fail "the desktop shortcut stays"
  if wine reg query "$key" >/dev/null 2>&1; then fail "the Apps & Features entry stays"; fi
  echo "uninstalled"
}

case "$mode" in
  install)
    install
    # The entry opens the dialog program; without it, a command prompt.
    target=cmd.exe && [ "${#programs[@]}" = 1 ] || target=zema-loader.exe
    strings "$shortcut" | grep "^C:.*\\${target}$" >/dev/null || fail "the Start-menu entry opens no ${target}"
    strings -el "$shortcut" | grep 'zema-loader\.ico$' >/dev/null || fail "no icon in the Start-menu entry"
    entry=$(wine reg query "$key" | tr -d '\r')
    echo "$entry"
    for value in "DisplayName *REG_SZ *ZEMA Data Loader$" "DisplayVersion *REG_SZ *[0-9.]+$" \
      "Publisher *REG_SZ" "DisplayIcon *REG_SZ .*zema-loader\.ico$" "EstimatedSize *REG_DWORD *0x[1-9a-f]" \
      'UninstallString *REG_SZ *"C:\\Program Files\\ZEMA Data Loader\\uninstall\.exe"$' \
      'QuietUninstallString *REG_SZ .*uninstall\.exe" /S$' \
      'HelpLink *REG_SZ .*\\README\.txt$' 'Readme *REG_SZ .*\\README\.txt$' 'Comments *REG_SZ'; do
      grep -Eq "^ *${value}" <<<"$entry" || fail "Apps & Features: no ${value}"
    done

    # A silent install makes no desktop shortcut unless asked (loader, below).
    [ ! -e "$desktop" ] || fail "a desktop shortcut without /DESKTOP"

    "$ZEMA_SIM" --no-pace --link "$WINEPREFIX/dosdevices/com120" >"$work/sim-ready" & sim=$!
    until [ -s "$work/sim-ready" ]; do kill -0 "$sim" && sleep 0.1; done
    wine 'C:\Program Files\ZEMA Data Loader\zema-transfer.exe' read --common --port 120 \
      --base "Z:${work//\//\\}\\line1"
    # The virtual sensor's common set holds 15000 + i.
    [ "$(head -n 1 "$work/line1.prM.zema")" = 15000 ] && [ "$(wc -l <"$work/line1.prM.zema")" = 32 ] ||
      fail "the common set read: $(cat "$work/line1.prM.zema")"
    echo "the installed zema-transfer.exe read line1.prM.zema: 32 lines from 15000"
    wineserver -w

    # A settings file put beside the programs is not the uninstaller's.
    echo x >"$folder/zema-loader.ini"
    uninstall
    [ "$(listing "$folder")" = "zema-loader.ini " ] || fail "left behind: $(listing "$folder")"
    rm -r "$folder"
    ;;
  loader)
    install /DESKTOP
    strings "$desktop" | grep '^C:.*\\zema-loader\.exe$' >/dev/null || fail "no desktop shortcut with /DESKTOP"
    # EXIT is the dialog's OK command (Return); then Yes to "Agree to Exit?".
    wine 'C:\Program Files\ZEMA Data Loader\zema-loader.exe' & loader=$!
    main=$(new_window) && sleep 1
    xdotool windowfocus --sync "$main" key Return
    question=$(new_window "$main") && sleep 0.5
    xdotool windowfocus --sync "$question" key y
    wait_for_end "$loader" || fail "the loader did not end at EXIT, Yes"
    settings=$(echo "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/zema-loader/zema-loader.ini)
    [ -f "$settings" ] && [ ! -e "$folder/zema-loader.ini" ] || fail "the settings are not in %APPDATA%"
    printf '8\n4\n0\n14\n1\n0\n0\n0\n0\nUntitled' >"$settings"  # COM9, the common set, "Untitled"
    documents=${settings%/AppData/*}/Documents && rm -f "$documents" && mkdir -p "$documents"  # not Wine's link to a home
    "$ZEMA_SIM" --no-pace --link "$WINEPREFIX/dosdevices/com9" >"$work/sim-ready" 2>"$work/sim.log" & sim=$!
    until [ -s "$work/sim-ready" ]; do kill -0 "$sim" && sleep 0.1; done
    (cd "$folder" && exec wine zema-loader.exe) & loader=$!
    main=$(window_titled "ZEMA Data Loader ver.1.0")  # CONNECT, READ, OK; a click gives the keys back
    xdotool sleep 1 windowfocus --sync "$main" key Tab space sleep 2 key shift+Tab shift+Tab space
    progress=$(window_titled Communication) && xdotool windowfocus --sync "$progress" sleep 2 key Return
    xdotool sleep 1 mousemove --window "$main" 2 2 click 1 key Escape
    question=$(window_titled Warning) && xdotool windowfocus --sync "$question" sleep 0.5 key y
    wait_for_end "$loader" && wineserver -w || fail "the loader did not end at Esc, Yes"
    [ -f "$documents/Untitled.prM.zema" ] && ! ls "$folder"/Untitled.* 2>/dev/null || fail "READ not into Documents"
    uninstall
    [ ! -e "$folder" ] && [ -f "$settings" ] || fail "the uninstall took the user's settings"
    echo "settings kept in ${settings#"$WINEPREFIX/"}"
    rm -r "${settings%/*}"
    ;;
  zip)
    name=$(basename "$ZEMA_ZIP" .zip)
    entries=$(cmake -E tar tf "$ZEMA_ZIP" | sed "s|^${name}/||" | sort | tr '\n' ' ')
    [ "$entries" = "$(expected "" "${programs[@]}" README.txt LICENSE.txt)" ] ||
      fail "ZIP entries: ${entries}"
    (cd "$work" && cmake -E tar xf "$ZEMA_ZIP")
    wine "$work/$name/zema-transfer.exe" --version | grep '^zema-transfer [0-9]' ||
      fail "the unpacked zema-transfer.exe does not run"
    ;;
esac
echo "release check ${mode} passed"
