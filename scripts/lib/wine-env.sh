# Sourced by the scripts. wine_env_start sets up what the Windows programs of
# the two builds need to run, one environment per architecture: an X display,
# the project's private Wine prefix (created once, inside the build tree), a
# persistent wineserver so that each program starts in a fraction of a second,
# and the virtual desktop. wine_env_stop ends exactly what wine_env_start began.
#
#   x86_64  out/win64's programs: wine64, prefix out/wineprefix
#   i686    out/win32's programs (the shipping build): 32-bit Wine under
#           QEMU's user-mode emulator, prefix out/wineprefix32, which reports
#           Windows NT 4.0
#
# scripts/lib/wine-run picks the environment by the program's machine type.

# shellcheck source=deps.sh
. "$(dirname "${BASH_SOURCE[0]}")/deps.sh"

WINE64=/usr/lib/wine/wine64
WINE32=/usr/lib/wine/wine
WINESERVER=/usr/lib/wine/wineserver
WINE_ENV_SCREEN=${WINE_ENV_SCREEN:-1024x768}
_wine_env_xvfb_pids=""
_wine_env_prefixes=""

# Settings of the prefixes; bump the stamp when they change (a prefix also
# keeps the font list it was made with: the stamp makes a new one).
_wine_env_stamp="setup-prefix-5 $WINE_ENV_SCREEN"
_wine_env_reg() {   # _wine_env_reg ARCH
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

[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]
"Arial"="Liberation Sans"
REG
    # The platform the program is for; Wine takes it in 32-bit prefixes only.
    if [ "$1" = i686 ]; then
        printf '\n[HKEY_CURRENT_USER\\Software\\Wine]\n"Version"="nt40"\n'
    fi
}

# A path of this machine as the Windows programs under Wine see it (drive Z: is /).
winpath() { echo "Z:$1" | tr / '\\'; }

_wine_env_loader() { if [ "$1" = i686 ]; then echo "$WINE32"; else echo "$WINE64"; fi; }
_wine_env_prefix() { if [ "$1" = i686 ]; then echo "$2/wineprefix32"; else echo "$2/wineprefix"; fi; }

# Starts a private Xvfb on a free display number; prints the display.
_wine_env_start_xvfb() {
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 "${WINE_ENV_SCREEN}x24" -nolisten tcp >/dev/null 2>&1 </dev/null &
    local pid=$!
    _wine_env_xvfb_pids="$_wine_env_xvfb_pids $pid"
    local i=0
    while [ ! -e "/tmp/.X11-unix/X$n" ]; do
        i=$((i + 1))
        if [ $i -gt 100 ] || ! kill -0 "$pid" 2>/dev/null; then
            echo "error: Xvfb did not start on :$n" >&2
            return 1
        fi
        sleep 0.1
    done
    _wine_env_display=":$n"
}

# The 32-bit Wine runs under QEMU: say clearly when that cannot work here.
_wine_env_check_i686() {
    if [ ! -x "$WINE32" ]; then
        echo "error: 32-bit Wine ($WINE32) is missing; scripts/test installs it" >&2
        return 1
    fi
    local major
    major=$(setup_qemu_major 2>/dev/null || echo 0)
    if [ "$major" -lt "${SETUP_QEMU_MIN_MAJOR:-8}" ]; then
        echo "error: QEMU's i386 user-mode emulator is version $major here; 32-bit Wine needs 8 or later" \
             "(older ones stop with \"failed to map the shared user data\"). scripts/test installs it." >&2
        return 1
    fi
}

# _wine_env_start_arch OUTDIR DISPLAYMODE ARCH
_wine_env_start_arch() {
    local out=$1 mode=$2 arch=$3
    local loader prefix var
    loader=$(_wine_env_loader "$arch")
    prefix=$(_wine_env_prefix "$arch" "$out")
    if [ "$arch" = i686 ]; then var=WIN32; else var=WIN64; fi
    [ "$arch" = i686 ] && { _wine_env_check_i686 || return 1; }
    if [ "$mode" = own-display ] || [ -z "${DISPLAY:-}" ]; then
        _wine_env_start_xvfb || return 1
    else
        _wine_env_display=$DISPLAY
    fi
    (
        export WINEPREFIX="$prefix" DISPLAY="$_wine_env_display"
        [ "$arch" = i686 ] && export WINEARCH=win32
        # A prefix made before the settings (and fonts) it needs is made anew.
        if [ -f "$WINEPREFIX/system.reg" ] && [ "$(cat "$WINEPREFIX/.setup-stamp" 2>/dev/null)" != "$_wine_env_stamp" ]; then
            "$WINESERVER" -k >/dev/null 2>&1
            rm -rf "$WINEPREFIX"
        fi
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            echo "Creating the $arch Wine prefix ${WINEPREFIX#"${root:-}"/} (once)..."
            "$loader" wineboot -i >/dev/null 2>&1 </dev/null
            "$WINESERVER" -w
            # Wine's own fonts (Marlett for the caption buttons, Tahoma, MS
            # Sans Serif): this Wine does not look in its data directory for
            # them, but always in the Windows fonts folder.
            cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
            _wine_env_reg "$arch" > "$out/wine-settings-$arch.reg"
            "$WINESERVER" -p >/dev/null 2>&1 </dev/null
            # The first import into a new 32-bit prefix has been seen to go
            # missing: check that it took, and try again.
            local try
            for try in 1 2 3; do
                "$loader" regedit /S "$(winpath "$out/wine-settings-$arch.reg")" >/dev/null 2>&1 </dev/null
                "$loader" reg query 'HKCU\Software\Wine\Fonts\Replacements' /v Arial >/dev/null 2>&1 </dev/null && break
                if [ $try = 3 ]; then
                    echo "error: the settings of the $arch Wine prefix did not take" >&2
                    exit 1
                fi
                sleep 1
            done
            echo "$_wine_env_stamp" > "$WINEPREFIX/.setup-stamp"
            # regedit has already made this session's desktop, without the
            # settings (no virtual desktop: every hidden window then costs
            # about 2 s). Start the session again with them.
            "$WINESERVER" -k >/dev/null 2>&1
            "$WINESERVER" -w
        fi
        "$WINESERVER" -p >/dev/null 2>&1 </dev/null
        # Start the desktop and the helper services now, with their output
        # going nowhere: whatever starts them first is whose output they keep.
        "$loader" explorer /desktop=Default,"$WINE_ENV_SCREEN" >/dev/null 2>&1 </dev/null &
        "$loader" cmd /c exit >/dev/null 2>&1 </dev/null
    ) || return 1
    _wine_env_prefixes="$_wine_env_prefixes $prefix"
    export "SETUP_${var}_PREFIX=$prefix" "SETUP_${var}_DISPLAY=$_wine_env_display"
}

# wine_env_start OUTDIR [MODE [ARCH...]]
# MODE own-display (the default): a private Xvfb display per architecture.
# MODE user-display (scripts/demo with a display): the user's $DISPLAY, or a
# private Xvfb display when DISPLAY is not set.
# ARCH x86_64, i686 (default: both). Exports SETUP_WIN64_PREFIX,
# SETUP_WIN64_DISPLAY, SETUP_WIN32_PREFIX, SETUP_WIN32_DISPLAY for the ones
# started, and WINEPREFIX, DISPLAY and WINE (the loader) for the first.
wine_env_start() {
    local out=$1 mode=${2:-own-display}
    shift $(($# < 2 ? $# : 2))
    local arches=("$@")
    [ ${#arches[@]} -eq 0 ] && arches=(x86_64 i686)
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    mkdir -p "$out"
    local arch
    for arch in "${arches[@]}"; do
        _wine_env_start_arch "$out" "$mode" "$arch" || return 1
    done
    WINE=$(_wine_env_loader "${arches[0]}")
    export WINE WINEPREFIX DISPLAY
    WINEPREFIX=$(_wine_env_prefix "${arches[0]}" "$out")
    if [ "${arches[0]}" = i686 ]; then DISPLAY=$SETUP_WIN32_DISPLAY; else DISPLAY=$SETUP_WIN64_DISPLAY; fi
    return 0
}

wine_env_stop() {
    local prefix pid
    for prefix in $_wine_env_prefixes; do
        WINEPREFIX="$prefix" "$WINESERVER" -k >/dev/null 2>&1
    done
    _wine_env_prefixes=""
    for pid in $_wine_env_xvfb_pids; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    _wine_env_xvfb_pids=""
}
