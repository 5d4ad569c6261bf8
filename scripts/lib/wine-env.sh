# shellcheck shell=bash
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
#
# One command at a time uses a prefix: wineserver -k at its end would stop
# every program in it, another command's too. wine_env_start takes a lock on
# each prefix (PREFIX.lock, held until the command ends) and refuses, saying
# which command holds it, when another one does. A command started by one
# that holds the environment (a test of scripts/test running scripts/demo)
# finds it in SETUP_WINE_ENV_HELD and uses it as it is: it neither starts nor
# stops it.
#
# Set the trap (trap wine_env_stop EXIT) before wine_env_start: whatever part
# of it came up is then ended however the command ends.

# shellcheck source=deps.sh
. "$(dirname "${BASH_SOURCE[0]}")/deps.sh"

# shellcheck source=wine-settings.sh
. "$(dirname "${BASH_SOURCE[0]}")/wine-settings.sh"
WINESERVER=/usr/lib/wine/wineserver
_wine_env_xvfb_pids=()   # the Xvfb servers this command started
_wine_env_prefixes=()    # the prefixes whose programs this command ends
_wine_env_locks=()       # the descriptors of the prefix locks it holds

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


# Runs a command in a subshell without the prefix locks of this command
# open, so that a process it leaves running (a server) does not hold them.
_wine_env_unlocked() {
    (
        local fd
        for fd in "${_wine_env_locks[@]}"; do exec {fd}>&-; done
        "$@"
    )
}

# Starts a private Xvfb on a free display number; prints the display.
_wine_env_start_xvfb() {
    local n=90 tries=0 pid i fd
    while :; do
        while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
        # Xvfb itself is the process started here (exec): its id is the one
        # wine_env_stop ends.
        (
            for fd in "${_wine_env_locks[@]}"; do exec {fd}>&-; done
            exec Xvfb ":$n" -screen 0 "${WINE_ENV_SCREEN}x24" -nolisten tcp
        ) >/dev/null 2>&1 </dev/null &
        pid=$!
        _wine_env_xvfb_pids+=("$pid")
        i=0
        while [ ! -e "/tmp/.X11-unix/X$n" ] && kill -0 "$pid" 2>/dev/null && [ $i -lt 100 ]; do
            i=$((i + 1))
            sleep 0.1
        done
        if [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "$pid" 2>/dev/null; then
            _wine_env_display=":$n"
            return 0
        fi
        # Another command may have taken the same number at the same moment.
        tries=$((tries + 1))
        if [ $tries -ge 5 ]; then
            echo "error: Xvfb did not start on :$n" >&2
            return 1
        fi
        n=$((n + 1))
    done
}

# _wine_env_step WHAT COMMAND...: one step of a prefix's set-up. Its output
# goes to a file (the helpers Wine starts keep it open), and is shown with
# the step's name when the step fails.
_wine_env_step() {
    local what=$1 rc=0; shift
    "$@" >"$_wine_env_log" 2>&1 </dev/null || rc=$?
    if [ $rc -ne 0 ]; then
        echo "error: $what failed (exit code $rc); its output:" >&2
        tail -n 40 "$_wine_env_log" | sed 's/^/   /' >&2
        return 1
    fi
}

# _wine_env_lock PREFIX: takes PREFIX.lock for this command. Sets
# _wine_env_reuse=yes when the command that started this one holds it
# (SETUP_WINE_ENV_HELD); fails, naming the holder, when another does.
_wine_env_lock() {
    local prefix=$1 lock="$1.lock" fd
    _wine_env_reuse=no
    exec {fd}>>"$lock" || { echo "error: cannot open the lock $lock" >&2; return 1; }
    if flock -n "$fd"; then
        printf '%s (pid %s)\n' "$_wine_env_command" "$$" > "$lock"
        _wine_env_locks+=("$fd")
        return 0
    fi
    exec {fd}>&-
    case $'\n'"${SETUP_WINE_ENV_HELD:-}"$'\n' in
        *$'\n'"$prefix"$'\n'*) _wine_env_reuse=yes; return 0 ;;
    esac
    echo "error: the Wine prefix ${prefix#"${root:-}"/} is in use by another command:" \
         "$(cat "$lock" 2>/dev/null || echo '(unknown)'). The end of either would stop the" \
         "other's programs: run this one when that has finished." >&2
    return 1
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
    loader=$(wine_loader "$arch")
    prefix=$(wine_prefix "$arch" "$out")
    if [ "$arch" = i686 ]; then var=WIN32; else var=WIN64; fi
    if [ "$arch" = i686 ]; then _wine_env_check_i686 || return 1; fi
    _wine_env_lock "$prefix" || return 1
    if [ "$_wine_env_reuse" = yes ]; then
        # The command that started this one has the environment up.
        local held="SETUP_${var}_DISPLAY"
        _wine_env_display=${!held:-}
        if [ -z "$_wine_env_display" ]; then
            echo "error: the $arch environment is held, but $held is not set" >&2
            return 1
        fi
        export "SETUP_${var}_PREFIX=$prefix"
        return 0
    fi
    if [ "$mode" = own-display ] || [ -z "${DISPLAY:-}" ]; then
        _wine_env_start_xvfb || return 1
    else
        _wine_env_display=$DISPLAY
    fi
    # Listed before anything starts in it: wine_env_stop ends what came up.
    _wine_env_prefixes+=("$prefix")
    _wine_env_log="$out/wine-setup-$arch.log"
    _wine_env_unlocked _wine_env_setup_prefix "$out" "$arch" "$loader" "$prefix" || return 1
    export "SETUP_${var}_PREFIX=$prefix" "SETUP_${var}_DISPLAY=$_wine_env_display"
    SETUP_WINE_ENV_HELD="${SETUP_WINE_ENV_HELD:+$SETUP_WINE_ENV_HELD$'\n'}$prefix"
    export SETUP_WINE_ENV_HELD
}

# _wine_env_setup_prefix OUTDIR ARCH LOADER PREFIX: makes the prefix when it
# is missing or older than its settings, and starts its server, desktop and
# helper services. Run in a process of its own (_wine_env_unlocked).
_wine_env_setup_prefix() {
    local out=$1 arch=$2 loader=$3
    export WINEPREFIX="$4" DISPLAY="$_wine_env_display"
    [ "$arch" = i686 ] && export WINEARCH=win32
    # A prefix made before the settings (and fonts) it needs is made anew.
    if [ -f "$WINEPREFIX/system.reg" ] && [ "$(cat "$WINEPREFIX/.setup-stamp" 2>/dev/null)" != "$_wine_env_stamp" ]; then
        "$WINESERVER" -k >/dev/null 2>&1 </dev/null   # fails when none runs
        _wine_env_step "removing the outdated $arch Wine prefix" rm -rf "$WINEPREFIX" || return 1
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Creating the $arch Wine prefix ${WINEPREFIX#"${root:-}"/} (once)..."
        _wine_env_step "making the $arch Wine prefix (wineboot -i)" "$loader" wineboot -i || return 1
        _wine_env_step "waiting for the new $arch prefix's wineserver" "$WINESERVER" -w || return 1
        # Wine's own fonts (Marlett for the caption buttons, Tahoma, MS
        # Sans Serif): this Wine does not look in its data directory for
        # them, but always in the Windows fonts folder.
        _wine_env_step "copying Wine's fonts into the $arch prefix" \
            cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" || return 1
        _wine_env_reg "$arch" > "$out/wine-settings-$arch.reg" || return 1
        "$WINESERVER" -p >/dev/null 2>&1 </dev/null
        # The first import into a new 32-bit prefix has been seen to go
        # missing: check that it took, and try again.
        local try
        for try in 1 2 3; do
            _wine_env_step "importing the $arch prefix's settings (regedit)" \
                "$loader" regedit /S "$(winpath "$out/wine-settings-$arch.reg")" || return 1
            "$loader" reg query 'HKCU\Software\Wine\Fonts\Replacements' /v Arial >/dev/null 2>&1 </dev/null && break
            if [ $try = 3 ]; then
                echo "error: the settings of the $arch Wine prefix did not take (imported three times)" >&2
                return 1
            fi
            sleep 1
        done
        echo "$_wine_env_stamp" > "$WINEPREFIX/.setup-stamp" || return 1
        # regedit has already made this session's desktop, without the
        # settings (no virtual desktop: every hidden window then costs
        # about 2 s). Start the session again with them.
        "$WINESERVER" -k >/dev/null 2>&1 </dev/null
        "$WINESERVER" -w
    fi
    "$WINESERVER" -p >/dev/null 2>&1 </dev/null
    # Start the desktop and the helper services now, with their output
    # going nowhere: whatever starts them first is whose output they keep.
    "$loader" explorer /desktop=Default,"$WINE_ENV_SCREEN" >/dev/null 2>&1 </dev/null &
    _wine_env_step "starting the $arch Wine session (cmd /c exit)" "$loader" cmd /c exit
}

# wine_env_start OUTDIR [MODE [ARCH...]]
# MODE own-display (the default): a private Xvfb display per architecture.
# MODE user-display (with-wine and scripts/demo with a display): the user's
# $DISPLAY, or a private Xvfb display when DISPLAY is not set.
# ARCH x86_64, i686 (default: both). Exports SETUP_WIN64_PREFIX,
# SETUP_WIN64_DISPLAY, SETUP_WIN32_PREFIX, SETUP_WIN32_DISPLAY for the ones
# started, and WINEPREFIX, DISPLAY and WINE (the loader) for the first.
wine_env_start() {
    local out=$1 mode=${2:-own-display}
    shift $(($# < 2 ? $# : 2))
    local arches=("$@")
    [ ${#arches[@]} -eq 0 ] && arches=(x86_64 i686)
    mkdir -p "$out" || return 1
    _wine_env_command="${0#"${root:-}"/} $(date '+%H:%M:%S')"
    local arch
    for arch in "${arches[@]}"; do
        _wine_env_start_arch "$out" "$mode" "$arch" || return 1
    done
    WINE=$(wine_loader "${arches[0]}")
    export WINE WINEPREFIX DISPLAY
    WINEPREFIX=$(wine_prefix "${arches[0]}" "$out")
    if [ "${arches[0]}" = i686 ]; then DISPLAY=$SETUP_WIN32_DISPLAY; else DISPLAY=$SETUP_WIN64_DISPLAY; fi
    return 0
}

# Ends what wine_env_start of this command began, as far as it came: every
# program in its prefixes, its Xvfb servers; then lets the prefixes go. Goes
# on past whatever has ended already.
wine_env_stop() {
    local prefix pid fd
    for prefix in "${_wine_env_prefixes[@]}"; do
        WINEPREFIX="$prefix" "$WINESERVER" -k >/dev/null 2>&1 </dev/null || true
        WINEPREFIX="$prefix" timeout 30 "$WINESERVER" -w >/dev/null 2>&1 </dev/null || true
    done
    _wine_env_prefixes=()
    for pid in "${_wine_env_xvfb_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    _wine_env_xvfb_pids=()
    for fd in "${_wine_env_locks[@]}"; do exec {fd}>&-; done
    _wine_env_locks=()
    return 0
}

# The traps of a command that uses wine_env_start, set before it: the
# environment is ended on every exit, also on an interrupt or a kill.
wine_env_traps() {
    trap wine_env_stop EXIT
    trap 'exit 129' HUP
    trap 'exit 130' INT
    trap 'exit 143' TERM
}
