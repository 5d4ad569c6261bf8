#!/usr/bin/env python3
"""The linker's launcher of setup.exe: runs the link with the time its
header is to carry and, when the link fails on calls of system functions
that are not on the program's import lists, says which list each one is
missing from.

The header's time is the source's date (cmake/source_date.cmake writes it
into a file of the build tree), handed to the linker as SOURCE_DATE_EPOCH,
which ld stamps instead of the time of the link: two builds of one commit
give the same bytes.

setup.exe links the system DLLs only through import libraries made from the
lists of setup/imports/ (one .def file a DLL, each function with where it is
shown to exist in Windows 95 and Windows NT 4.0). A call of any other
function is an undefined reference; this names the function, its DLL (found
in the system's own import library of each listed DLL) and the list.

    link_image.py [--source-date FILE] LIST.def... -- LINKER ARG...
"""
import os
import re
import subprocess
import sys

UNDEFINED = re.compile(r"undefined reference to [`']([^']+)'")


def plain_name(symbol):
    """GetFileAttributesExA from _imp__GetFileAttributesExA@12 and the like."""
    name = re.sub(r"^_*imp_+", "", symbol)
    return re.sub(r"@\d+$", "", name)


def read_list(path):
    """The DLL a list is for and its functions: {plain name: name as listed}."""
    dll, names, exports = None, {}, False
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split(";", 1)[0].strip()
            if not line:
                continue
            if line.startswith("LIBRARY"):
                dll = line.split()[1]
            elif line == "EXPORTS":
                exports = True
            elif exports:
                names[plain_name(line.split()[0])] = line.split()[0]
    return dll, names


def archive_symbols(path):
    """The plain names an import library (ar archive) defines."""
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError:
        return set()
    if not data.startswith(b"!<arch>\n"):
        return set()
    pos = 8
    while pos + 60 <= len(data):
        header = data[pos:pos + 60]
        size = int(header[48:58])
        if header[:16].strip() == b"/":
            body = data[pos + 60:pos + 60 + size]
            count = int.from_bytes(body[:4], "big")
            strings = body[4 + 4 * count:].split(b"\0")[:count]
            return {plain_name(s.decode("latin-1").lstrip("_")) for s in strings}
        pos += 60 + size + (size & 1)
    return set()


def system_library(linker, dll):
    """The path of the system's whole import library of dll, as the linker finds it."""
    stem = os.path.splitext(dll)[0].lower()
    try:
        out = subprocess.run([linker, f"-print-file-name=lib{stem}.a"],
                             capture_output=True, text=True, check=False).stdout.strip()
    except OSError:
        return None
    return out if os.path.isabs(out) else None


def main(argv):
    if "--" not in argv:
        sys.exit(__doc__)
    split = argv.index("--")
    lists, command = argv[1:split], argv[split + 1:]
    if not command:
        sys.exit(__doc__)
    env = dict(os.environ)
    if lists[:1] == ["--source-date"] and len(lists) >= 2:
        with open(lists[1], encoding="ascii") as f:
            env["SOURCE_DATE_EPOCH"] = f.read().strip()
        lists = lists[2:]
    result = subprocess.run(command, capture_output=True, text=True, check=False, env=env)
    sys.stdout.write(result.stdout)
    sys.stderr.write(result.stderr)
    if result.returncode == 0:
        return 0

    undefined = UNDEFINED.findall(result.stdout + result.stderr)
    missing = sorted({plain_name(s) for s in undefined})
    imported = {plain_name(s) for s in undefined if re.match(r"_*imp_", s)}
    called = {plain_name(s): re.sub(r"^_*(imp_+)?", "", s) for s in undefined}
    if not missing:
        return result.returncode
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    listed = []
    for path in lists:
        dll, names = read_list(path)
        listed.append((dll, names, os.path.relpath(path, root)))
    output = command[command.index("-o") + 1] if "-o" in command[:-1] else "the program"
    lines = []
    for name in missing:
        on = [(names[name], rel) for dll, names, rel in listed if name in names]
        if on:
            if "@" in called[name] and on[0][0] != called[name]:
                lines.append(f"  {name} is on {on[0][1]} as {on[0][0]}, but called as {called[name]}: "
                             "the bytes of its arguments differ")
            continue
        owner = [(dll, rel) for dll, _, rel in listed
                 if name in archive_symbols(system_library(command[0], dll) or "")]
        if owner:
            dll, rel = owner[0]
            lines.append(f"  {name} ({dll}) is not on {rel}")
        elif name in imported:
            lines.append(f"  {name} is on none of the lists ({', '.join(rel for _, _, rel in listed)})")
    if lines:
        print(f"{os.path.basename(output)} may call only the system functions of its import lists, "
              "each shown to exist in Windows 95 and Windows NT 4.0; a function goes on a list "
              "only with where it is shown there:", file=sys.stderr)
        print("\n".join(lines), file=sys.stderr)
    return result.returncode


if __name__ == "__main__":
    sys.exit(main(sys.argv))
