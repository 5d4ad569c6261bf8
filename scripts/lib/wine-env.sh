# Sourced by the scripts. wine_env_start sets up what the Windows programs of
# the 64-bit build need to run: an X display, the project's private Wine
# prefix (created once, inside the build tree), a persistent wineserver so
# that each program starts in a fraction of a second, and the virtual
# desktop. wine_env_stop ends exactly what wine_env_start began.

WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
WINE_ENV_SCREEN=${WINE_ENV_SCREEN:-1024x768}
_wine_env_xvfb_pid=""

# Settings of the prefix; bump the stamp when they change.
_wine_env_stamp="setup-prefix-3 $WINE_ENV_SCREEN"
_wine_env_reg() {
    cat <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]
"Default"="$WINE_ENV_SCREEN"

[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug]
"Debugger"=""
"Auto"="0"

[HKEY_CURRENT_USER\\Software\\Wine\\DllOverrides]
"mscoree"=""
"mshtml"=""
REG
}

# Starts a private Xvfb on a free display number and exports DISPLAY.
wine_env_start_xvfb() {
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 "${WINE_ENV_SCREEN}x24" -nolisten tcp >/dev/null 2>&1 </dev/null &
    _wine_env_xvfb_pid=$!
    local i=0
    while [ ! -e "/tmp/.X11-unix/X$n" ]; do
        i=$((i + 1))
        if [ $i -gt 100 ] || ! kill -0 "$_wine_env_xvfb_pid" 2>/dev/null; then
            echo "error: Xvfb did not start on :$n" >&2
            return 1
        fi
        sleep 0.1
    done
    export DISPLAY=":$n"
}

# wine_env_start OUTDIR [own-display]: the prefix lives in OUTDIR/wineprefix.
wine_env_start() {
    local out=$1 own_display=${2:-own-display}
    export WINEPREFIX="$out/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if [ "$own_display" = own-display ] || [ -z "${DISPLAY:-}" ]; then
        wine_env_start_xvfb || return 1
    fi
    mkdir -p "$out"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Creating the Wine prefix $WINEPREFIX (once)..."
        "$WINE64" wineboot -i >/dev/null 2>&1 </dev/null
        "$WINESERVER" -w
    fi
    "$WINESERVER" -p >/dev/null 2>&1 </dev/null
    if [ "$(cat "$WINEPREFIX/.setup-stamp" 2>/dev/null)" != "$_wine_env_stamp" ]; then
        _wine_env_reg > "$out/wine-settings.reg"
        "$WINE64" regedit /S "$(echo "Z:$out/wine-settings.reg" | tr / '\\')" >/dev/null 2>&1 </dev/null
        echo "$_wine_env_stamp" > "$WINEPREFIX/.setup-stamp"
        # regedit has already made this session's desktop, without the
        # settings (no virtual desktop: every hidden window then costs about
        # 2 s). Start the session again with them.
        "$WINESERVER" -k >/dev/null 2>&1
        "$WINESERVER" -w
        "$WINESERVER" -p >/dev/null 2>&1 </dev/null
    fi
    # Start the desktop and the helper services now, with their output going
    # nowhere: whatever starts them first is whose output they keep.
    "$WINE64" explorer /desktop=Default,"$WINE_ENV_SCREEN" >/dev/null 2>&1 </dev/null &
    "$WINE64" cmd /c exit >/dev/null 2>&1 </dev/null
    return 0
}

wine_env_stop() {
    if [ -n "${WINEPREFIX:-}" ]; then
        "$WINESERVER" -k >/dev/null 2>&1
    fi
    if [ -n "$_wine_env_xvfb_pid" ]; then
        kill "$_wine_env_xvfb_pid" 2>/dev/null
        wait "$_wine_env_xvfb_pid" 2>/dev/null
        _wine_env_xvfb_pid=""
    fi
}
