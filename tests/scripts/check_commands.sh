#!/usr/bin/env bash
# Runs one of the README's commands as a user would, from the checkout, and
# checks what it did: its exit code, what it printed and what it left.
#   check_commands.sh CASE      (run from the checkout; the cases are below)
# Under scripts/test the Wine environment is the test run's own: the
# commands find its prefixes held for them and neither start nor stop it.
set -euo pipefail
case_name=$1
root=$(pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
status=0
fail() { echo "FAILED: $*"; status=1; }

# run LOG COMMAND...: runs it with its output shown and kept; sets rc.
run() {
    local log=$1; shift
    echo "\$ $*"
    rc=0
    "$@" </dev/null 2>&1 | tee "$log" | sed 's/^/   | /' || rc=$?
    echo "(exit code $rc)"
}
has() {   # has LOG TEXT: the output shows TEXT
    grep -qF -- "$2" "$1" || fail "the output does not show: $2"
}

demo="$root/out/demo"
desktop="$demo/HPC Explorer/HPC Applications/tarvelo/qARNEL"
store="$demo/device/store"
app='Program Files/qARNEL Beta/qARNEL.exe'

# The desktop directory holds the whole sample distribution, byte for byte.
check_desktop() {
    local source dir name n=0
    while IFS=$'\t' read -r source dir name; do
        case "$source" in ''|'#'*) continue ;; esac
        n=$((n + 1))
        local target="$desktop/${dir//\\//}/$name"
        [ "$dir" = . ] && target="$desktop/$name"
        cmp -s "dist/$source" "$target" || fail "the desktop directory's ${dir}\\$name is not dist/$source"
    done < <(tr -d '\r' < dist/manifest.txt)
    [ $n -gt 30 ] || fail "only $n records in dist/manifest.txt"
    for f in register.txt qArnel.ld UserInfo.dat; do
        [ -s "$desktop/$f" ] || fail "the desktop directory has no $f"
    done
}

# The pictures: PNG files of the windows, each with something drawn in it.
check_shots() {
    local want=$1 n=0 png colours
    for png in "$demo"/shots/*.png; do
        [ -e "$png" ] || continue
        n=$((n + 1))
        colours=$(identify -format '%k' "$png" 2>/dev/null) || { fail "${png##*/} is not a picture"; continue; }
        [ "$colours" -ge 8 ] || fail "${png##*/} has $colours colours: nothing drawn"
    done
    [ -z "$(find "$demo/shots" -name '*.bmp')" ] || fail "bitmaps left in out/demo/shots"
    [ $n -eq "$want" ] || fail "$n pictures in out/demo/shots, not $want"
}

# A whole install onto the device: the program the script names, started.
check_installed() {   # CPU BOOKS
    local cpu=$1 books=$2 suffix
    suffix=$(echo "$cpu" | tr 'A-Z' 'a-z')
    [ "$rc" -eq 0 ] || fail "exit code $rc"
    has "$log" 'message "Setup Completed"'
    check_desktop
    cmp -s "$desktop/qARNEL.exe.$suffix" "$store/$app" || fail "the device's \\$app is not the $cpu build"
    grep -qF "PegCreateProcess" "$demo/device/device.log" || fail "nothing was started on the device"
    grep -F "PegCreateProcess" "$demo/device/device.log" | grep -qF 'qARNEL Beta\qARNEL.exe' \
        || fail "the device log does not start \\$app"
    has "$log" "== Device log (started on the device)"
    local booksdir
    booksdir=$(find "$store" -type f -name 'film01.htm' | head -n 1)
    case "$books" in
        all) [ -n "$booksdir" ] || fail "the film book is not on the device" ;;
        none) [ -z "$(find "$store" -type f -name '*.htm*')" ] || fail "books are on the device, none were chosen" ;;
    esac
    check_shots 5
}

log="$tmp/out.log"
case "$case_name" in
demo)   # The README's main job, unattended: the shipping program, SH3, all books.
    run "$log" env -u DISPLAY scripts/demo
    has "$log" "== Installing unattended with win32/setup.exe (processor SH3, books: all, free space the emulator's default)"
    check_installed SH3 all
    ;;
demo-news)   # --unattended with a display there (the test run's own), one book.
    run "$log" scripts/demo --unattended --books news
    has "$log" "== Installing unattended with win32/setup.exe (processor SH3, books: news,"
    [ "$rc" -eq 0 ] || fail "exit code $rc"
    check_desktop
    [ -n "$(find "$store" -type f -name 'nPR970930a.htm')" ] || fail "the news book is not on the device"
    [ -z "$(find "$store" -type f -name 'film01.htm')" ] || fail "the film book is on the device, only news was chosen"
    ;;
demo-x86_64)   # The 64-bit twin on a MIPS device, no books.
    run "$log" env -u DISPLAY scripts/demo --arch x86_64 --cpu MIPS --books none
    has "$log" "== Installing unattended with win64/setup.exe (processor MIPS, books: none"
    check_installed MIPS none
    ;;
demo-free)   # Too little room: the space message, nothing on the device.
    run "$log" env -u DISPLAY scripts/demo --free 100000
    [ "$rc" -eq 1 ] || fail "exit code $rc, not 1 (the install did not complete)"
    has "$log" 'message "Setup Error": There is not enough space on your Handheld PC to install the qARNEL options that you have selected.'
    has "$log" "== Desktop directory"
    has "$log" "== Device log (started on the device)"
    has "$log" "== The install did not complete"
    check_desktop
    [ ! -e "$store/$app" ] || fail "the program is on the device"
    ! grep -qF PegCreateProcess "$demo/device/device.log" 2>/dev/null || fail "something was started on the device"
    check_shots 5   # the four windows, then the message
    ;;
release)   # The release recipe, into a folder whose name has a space.
    run "$log" scripts/release "$tmp/my release"
    [ "$rc" -eq 0 ] || fail "exit code $rc"
    cmp -s "$tmp/my release/setup.exe" out/win32/setup.exe || fail "its setup.exe is not the build's"
    cmp -s "$tmp/my release/readme.doc" dist/readme.doc || fail "its readme.doc is not dist/readme.doc"
    out/native/tools/setuppack verify "$tmp/my release/setup.exe" >/dev/null || fail "setuppack verify fails on it"
    (cd "$tmp/my release" && sha256sum --quiet -c SHA256SUMS) || fail "its SHA256SUMS do not match its files"
    has "$log" "qARNEL.exe.sh3"
    ;;
with-wine)   # A trivial command, its exit code; another command's prefixes are not taken.
    run "$log" scripts/with-wine scripts/lib/wine-run out/win32/text_test.exe --gtest_list_tests
    [ "$rc" -eq 0 ] || fail "exit code $rc"
    has "$log" "."
    run "$log" scripts/with-wine sh -c 'exit 7'
    [ "$rc" -eq 7 ] || fail "exit code $rc, not the command's 7"
    if [ -n "${SETUP_WINE_ENV_HELD:-}" ]; then
        # Under scripts/test: a command of its own finds the prefixes in use.
        run "$log" env -u SETUP_WINE_ENV_HELD scripts/with-wine true
        [ "$rc" -ne 0 ] || fail "a second command took the prefixes of scripts/test"
        has "$log" "is in use by another command"
        run "$log" scripts/lib/wine-run out/win32/text_test.exe --gtest_list_tests
        [ "$rc" -eq 0 ] || fail "the test run's environment did not survive the refused command"
    fi
    ;;
robustness)   # The short forms of every part.
    run "$log" scripts/robustness --short
    [ "$rc" -eq 0 ] || fail "exit code $rc"
    for part in Fuzzing "Damaged setups" Faults Soak; do has "$log" "== $part"; done
    has "$log" "== All short forms passed"
    ! grep -q FAILED "$log" || fail "a part FAILED"
    ;;
bench)   # One round of each measurement on a small distribution.
    run "$log" scripts/bench --runs 1 --startup-runs 1 --small 40 --big 1
    [ "$rc" -eq 0 ] || fail "exit code $rc"
    for row in "Program size, 32-bit" "packaging" "start-up" "extraction" "checksum check"; do
        grep -qiF -- "$row" "$log" || fail "the table has no $row row"
    done
    ;;
*) echo "check_commands.sh: unknown case $case_name" >&2; exit 2 ;;
esac
exit $status
