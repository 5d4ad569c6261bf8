# shellcheck shell=bash
# Sourced by the scripts: installs what is missing and builds the three trees.
# $root, the checkout, is set by the script that sources this file.
# shellcheck disable=SC2154
# shellcheck source=deps.sh
. "$(dirname "${BASH_SOURCE[0]}")/deps.sh"

setup_jobs=${SETUP_JOBS:-$(nproc)}

# Configures a tree once, then builds it; output only on failure.
_setup_build_tree() {
    local dir=$1 label=$2; shift 2
    local log
    log="$root/out/$(basename "$dir")-build.log"
    mkdir -p "$root/out"
    if ! { [ -f "$dir/CMakeCache.txt" ] || cmake -S "$root" -B "$dir" "$@"; } >"$log" 2>&1 \
       || ! cmake --build "$dir" -j "$setup_jobs" >>"$log" 2>&1; then
        tail -n 60 "$log" >&2
        echo "error: the $label build failed; the whole log is $log" >&2
        return 1
    fi
    echo "   $label: ok"
}

setup_build_native() {
    _setup_build_tree "$root/out/native" "native (clang, ASan+UBSan)" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DSETUP_SANITIZE=ON -DSETUP_FUZZ=ON
}

# An optimised native build without the sanitizers or tests (scripts/bench
# times the packaging tool in it).
setup_build_native_release() {
    _setup_build_tree "$root/out/native-release" "native-release (clang -O2, no sanitizers)" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DSETUP_TESTS=OFF
}

setup_build_windows() {
    local arch=$1
    _setup_build_tree "$root/out/win$arch" "win$arch" \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$([ "$arch" = 64 ] && echo x86_64 || echo i686).cmake" \
        -DSETUP_PACK_TOOL="$root/out/native/tools/setuppack"
}

# The payload's offset in setup.exe, as the native build was configured with
# it (SETUP_PAYLOAD_OFFSET in cmake/SetupCommon.cmake).
setup_payload_offset() {
    sed -n 's/^SETUP_PAYLOAD_OFFSET:INTERNAL=//p' "$root/out/native/CMakeCache.txt"
}

setup_build_all() {
    echo "== Checking the tools"
    setup_deps
    echo "== Building"
    setup_build_native
    setup_build_windows 64
    setup_build_windows 32
}
