# shellcheck shell=bash
# Installs what the builds and tests need, when it is missing (Debian, root).
# Sourced by the scripts; quiet and quick when everything is there.

# The 32-bit programs: this kernel refuses i386 executables, so QEMU's
# user-mode emulator runs them (binfmt_misc), and Debian's 32-bit Wine then
# runs the i686 Windows programs. Wine needs QEMU 8 or later; bookworm's 7.2
# stops it with "failed to map the shared user data".
SETUP_QEMU_I386=/usr/bin/qemu-i386
SETUP_QEMU_MIN_MAJOR=8
_setup_binfmt=/proc/sys/fs/binfmt_misc

_setup_apt() {
    export DEBIAN_FRONTEND=noninteractive
    # shellcheck disable=SC2068
    apt-get install -y -qq --no-install-recommends $@ >/dev/null
}

_setup_need_root() {
    if [ "$(id -u)" != 0 ]; then
        echo "error: installing$1 needs root" >&2
        return 1
    fi
}

# The major version of the i386 user-mode emulator, or 0.
setup_qemu_major() {
    local v
    v=$("$SETUP_QEMU_I386" --version 2>/dev/null | sed -n 's/.*version \([0-9]*\)\..*/\1/p' | head -n 1)
    echo "${v:-0}"
}

# qemu-user-static 8 or later, from bookworm-backports when the release's own
# is older.
_setup_deps_qemu() {
    [ "$(setup_qemu_major)" -ge "$SETUP_QEMU_MIN_MAJOR" ] && return 0
    _setup_need_root " qemu-user-static" || return 1
    echo "Installing: qemu-user-static (bookworm-backports)"
    local list=/etc/apt/sources.list.d/setup-backports.list
    if ! grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        echo "deb http://deb.debian.org/debian bookworm-backports main" > "$list"
    fi
    apt-get update -qq >/dev/null || return 1
    _setup_apt -t bookworm-backports qemu-user-static || return 1
    _setup_qemu_new=yes
    local major; major=$(setup_qemu_major)
    if [ "$major" -lt "$SETUP_QEMU_MIN_MAJOR" ]; then
        echo "error: $SETUP_QEMU_I386 is QEMU $major; 32-bit Wine needs QEMU $SETUP_QEMU_MIN_MAJOR or later" \
             "(bookworm-backports has it). Older ones stop with \"failed to map the shared user data\"." >&2
        return 1
    fi
}

# Registers i386 ELF programs with the emulator. F opens the interpreter at
# registration, so it is found in any mount namespace; an upgrade of QEMU
# needs a new registration, since the open file is then the old one.
_setup_qemu_new=no
_setup_deps_binfmt() {
    local entry=$_setup_binfmt/qemu-i386
    if [ "$_setup_qemu_new" = no ] && [ -f "$entry" ] && grep -qx enabled "$entry" \
       && grep -qx "interpreter $SETUP_QEMU_I386" "$entry" && grep -q '^flags: .*F' "$entry"; then
        return 0
    fi
    _setup_need_root " the i386 binfmt_misc entry" || return 1
    if [ ! -f "$_setup_binfmt/register" ]; then
        mount -t binfmt_misc binfmt_misc "$_setup_binfmt" || return 1
    fi
    [ -f "$entry" ] && echo -1 > "$entry"
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$SETUP_QEMU_I386"':FP' \
        > "$_setup_binfmt/register"
}

# Debian's 32-bit Wine, beside wine64.
_setup_deps_wine32() {
    [ -x /usr/lib/wine/wine ] && return 0
    _setup_need_root " wine32:i386" || return 1
    echo "Installing: wine32:i386"
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    apt-get update -qq >/dev/null || return 1
    _setup_apt wine32:i386
}

setup_deps() {
    local missing=""
    command -v cmake >/dev/null                       || missing="$missing cmake"
    command -v g++ >/dev/null                         || missing="$missing g++"
    command -v clang++ >/dev/null                     || missing="$missing clang"
    ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 \
                                                      || missing="$missing libclang-rt-14-dev"
    [ -f /usr/src/googletest/CMakeLists.txt ]         || missing="$missing googletest"
    command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing="$missing g++-mingw-w64-x86-64-posix"
    command -v i686-w64-mingw32-g++-win32 >/dev/null  || missing="$missing g++-mingw-w64-i686-win32"
    command -v i686-w64-mingw32-g++-posix >/dev/null  || missing="$missing g++-mingw-w64-i686-posix"
    command -v x86_64-w64-mingw32-windres >/dev/null  || missing="$missing binutils-mingw-w64-x86-64"
    command -v i686-w64-mingw32-windres >/dev/null    || missing="$missing binutils-mingw-w64-i686"
    [ -x /usr/lib/wine/wine64 ]                       || missing="$missing wine64"
    [ -d /usr/share/fonts/truetype/liberation ]       || missing="$missing fonts-liberation"
    [ -f /usr/share/wine/fonts/marlett.ttf ]          || missing="$missing fonts-wine"
    command -v Xvfb >/dev/null                        || missing="$missing xvfb"
    command -v xauth >/dev/null                       || missing="$missing xauth"
    command -v import >/dev/null                      || missing="$missing imagemagick"
    command -v xdotool >/dev/null                     || missing="$missing xdotool"
    command -v python3 >/dev/null                     || missing="$missing python3"
    command -v shellcheck >/dev/null                  || missing="$missing shellcheck"
    command -v flock >/dev/null                       || missing="$missing util-linux"
    if [ -n "$missing" ]; then
        echo "Installing:$missing"
        _setup_need_root "$missing" || return 1
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq >/dev/null || return 1
        _setup_apt "$missing" || return 1
    fi
    _setup_deps_qemu && _setup_deps_binfmt && _setup_deps_wine32
}
