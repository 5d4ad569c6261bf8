# Installs what the builds and tests need, when it is missing (Debian, root).
# Sourced by the scripts; quiet and quick when everything is there.

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
    command -v x86_64-w64-mingw32-windres >/dev/null  || missing="$missing binutils-mingw-w64-x86-64"
    command -v i686-w64-mingw32-windres >/dev/null    || missing="$missing binutils-mingw-w64-i686"
    [ -x /usr/lib/wine/wine64 ]                       || missing="$missing wine64"
    command -v Xvfb >/dev/null                        || missing="$missing xvfb"
    command -v xauth >/dev/null                       || missing="$missing xauth"
    command -v import >/dev/null                      || missing="$missing imagemagick"
    command -v xdotool >/dev/null                     || missing="$missing xdotool"
    command -v python3 >/dev/null                     || missing="$missing python3"
    [ -z "$missing" ] && return 0

    echo "Installing:$missing"
    if [ "$(id -u)" != 0 ]; then
        echo "error: these packages are missing and installing them needs root:$missing" >&2
        return 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq >/dev/null || return 1
    # shellcheck disable=SC2086
    apt-get install -y -qq --no-install-recommends $missing >/dev/null || return 1
}
