#!/usr/bin/env python3
"""Checks the layers of the program by the #include lines of its sources.

setup/ is built in layers, bottom up:

    runtime/                     the program's own C runtime
    base/ res/                   bounded text, the consistency check, the
                                 process-wide handles; resource identifiers
    settings/                    the install settings
    dialogs/ extract/ device/    the stages of an install, side by side
    shell/                       start-up, main window, install sequence

A file includes headers of its own folder and of the layers below it, never
of its own layer's other folders or of a layer above. tools/ and emulator/
include only the program's portable headers (none of them reaches
<windows.h>); the emulator also includes device/loader.h, the interface it
implements. Prints every file that breaks a rule and exits 1.

    check_layers.py SOURCE_DIR
"""
import os
import re
import sys

LAYERS = {"runtime": -1, "base": 0, "res": 0, "settings": 1, "dialogs": 2, "extract": 2, "device": 2, "shell": 3}
EMULATOR_INTERFACE = {"device/loader.h"}
SOURCE = re.compile(r".*\.(c|cpp|h|S)$")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)
WINDOWS = re.compile(r"^\s*#\s*include\s*<windows\.h>", re.M)


def sources(top):
    for folder, _, names in os.walk(top):
        for name in sorted(names):
            if SOURCE.match(name):
                yield os.path.join(folder, name)


def includes(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return INCLUDE.findall(f.read())


def portable(setup, header, seen=None):
    """True when the program's header reaches no <windows.h>."""
    seen = set() if seen is None else seen
    if header in seen:
        return True
    seen.add(header)
    path = os.path.join(setup, header)
    if not os.path.isfile(path):
        return False
    with open(path, encoding="utf-8", errors="replace") as f:
        text = f.read()
    if WINDOWS.search(text):
        return False
    return all(portable(setup, h, seen) for h in INCLUDE.findall(text) if "/" in h)


def main(root):
    setup = os.path.join(root, "setup")
    errors = []
    for path in sources(setup):
        rel = os.path.relpath(path, setup)
        folder = rel.split(os.sep)[0]
        if folder not in LAYERS:
            if os.sep in rel:
                errors.append(f"setup/{rel}: folder {folder}/ is in no layer (add it to {__file__})")
            continue
        for header in includes(path):
            if "/" not in header:
                continue   # beside the file (the resource script's own)
            target = header.split("/")[0]
            if target == folder:
                continue
            if target not in LAYERS:
                errors.append(f"setup/{rel}: includes {header}, which is in no layer")
            elif LAYERS[target] > LAYERS[folder]:
                errors.append(f"setup/{rel}: includes {header}: {target}/ is a layer above {folder}/")
            elif LAYERS[target] == LAYERS[folder]:
                errors.append(f"setup/{rel}: includes {header}: {target}/ is beside {folder}/, not below it")

    for user, allowed in (("tools", set()), ("emulator", EMULATOR_INTERFACE)):
        for path in sources(os.path.join(root, user)):
            rel = os.path.relpath(path, root)
            for header in includes(path):
                if os.path.isfile(os.path.join(os.path.dirname(path), header)):
                    continue   # its own
                if header in allowed:
                    continue
                if not portable(setup, header):
                    errors.append(f"{rel}: includes {header}, which is not a portable header of the program")

    for error in errors:
        print(error)
    if errors:
        return 1
    print("layers: ok")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1]))
