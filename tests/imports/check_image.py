#!/usr/bin/env python3
"""Checks that a program image starts on every system the shipping program is
for: Windows 95 (retail, OSR1, OSR2) and Windows NT 4.0, from the 80386 on.
Wine and QEMU cannot show these faults (Wine brings every DLL and function,
QEMU emulates a modern processor), so the image itself is read.

    check_image.py IMAGE CHECK... [options]

imports       It imports only from DLLs that have a list (--lists: the system
              DLLs' lists, each entry with where it is shown to exist in
              Windows 95 and NT 4.0; --device-lists: the device libraries'
              .def files), only functions on those lists, by name, no W
              function and nothing of --denylist; the lists themselves hold
              no W or denylisted function and say where each is shown. With
              --size-limit, the image is no larger.
header        Machine i386, OS and subsystem version 4.0, Windows GUI, image
              base at 4 MB or above, file alignment of at least 512 and
              section alignment 4096, no TLS, load configuration, bound
              import, delay import, CLR or exception directory, and
              DllCharacteristics equal to --dll-characteristics.
instructions  Every instruction of the code is one of the 80386/80387
              (--instructions: the allowed mnemonics, as --objdump prints
              them); the code decodes whole: no undecodable bytes outside the
              constructor lists at the end of .text, every direct branch or
              call lands on the start of an instruction.
resources     Classic DIALOG templates without DS_SHELLFONT/DS_FIXEDSYS;
              bitmaps, icons and cursors with the 40-byte BITMAPINFOHEADER,
              BI_RGB or RLE compression, 1, 4, 8 or 24 bits per pixel, no PNG
              data; no manifest and no resource type Windows 95 does not know.

Prints what it found and exits 1 when a check fails.
"""
import argparse
import os
import re
import struct
import subprocess
import sys

from pe import Image, PeError


# ---------------------------------------------------------------- imports

def read_def(path):
    """(dll, [(name, where)]) of a .def list; names undecorated."""
    dll, entries, exports = None, [], False
    with open(path, encoding="utf-8") as f:
        for line in f:
            text, _, comment = line.partition(";")
            text = text.strip()
            if not text:
                continue
            if text.startswith("LIBRARY"):
                dll = text.split()[1].lower()
            elif text == "EXPORTS":
                exports = True
            elif exports:
                entries.append((re.sub(r"@\d+$", "", text.split()[0]), comment.strip()))
    return dll, entries


def read_denylist(path):
    """[(regex, first system, source)] of denylist.txt (a trailing * matches any ending)."""
    result = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            if not line.strip() or line.startswith("#"):
                continue
            fields = line.rstrip("\n").split("\t")
            pattern = "^" + re.escape(fields[0]).replace(r"\*", ".*") + "$"
            result.append((re.compile(pattern), fields[1] if len(fields) > 1 else "", fields[0]))
    return result


def is_wide(name):
    """A W function: the Unicode twin of an A one (MessageBoxW, CreateWindowExW)."""
    return re.search(r"[a-z0-9]W$", name) is not None


def check_imports(image, args, out):
    fail = False
    denied = read_denylist(args.denylist) if args.denylist else []

    def denylisted(name):
        for regex, first, pattern in denied:
            if regex.match(name):
                return f"{first} (denylist.txt: {pattern})"
        return None

    lists = {}
    for path in args.lists:
        dll, entries = read_def(path)
        rel = os.path.basename(path)
        lists[dll] = (rel, {name for name, _ in entries})
        for name, where in entries:
            if not where:
                out.append(f"  {rel}: {name} says not where it is shown to exist")
                fail = True
            if is_wide(name):
                out.append(f"  {rel}: {name} is a W function (Windows 95 has only stubs of them)")
                fail = True
            if denylisted(name):
                out.append(f"  {rel}: {name} is a function of {denylisted(name)}")
                fail = True
    for path in args.device_lists:
        dll, entries = read_def(path)
        lists[dll] = (os.path.basename(path), {name for name, _ in entries})

    imported = image.imports()
    out.append(f"{image.name}: imports")
    for dll, names in imported:
        key = dll.lower()
        if key not in lists:
            out.append(f"  {dll:14s} {len(names):3d} functions   <- not on every fresh Windows 95 / NT 4.0: "
                       "no list of it")
            fail = True
            continue
        rel, allowed = lists[key]
        bad = []
        for name in names:
            if isinstance(name, int):
                bad.append(f"ordinal {name} (an import by ordinal, whose function differs between systems)")
            elif is_wide(name):
                bad.append(f"{name} (a W function: Windows 95 has only stubs of them)")
            elif name not in allowed:
                why = denylisted(name)
                bad.append(f"{name} (not on {rel}" + (f"; first in {why})" if why else ")"))
            elif denylisted(name):
                bad.append(f"{name} ({denylisted(name)})")
        out.append(f"  {dll:14s} {len(names):3d} functions, on {rel}"
                   + ("" if not bad else f": {len(bad)} refused"))
        out.extend(f"      {b}" for b in bad)
        fail = fail or bool(bad)
        unused = sorted(allowed - {n for n in names if isinstance(n, str)})
        if unused and not bad:
            out.append(f"      on the list, not imported: {' '.join(unused)}")

    size = os.path.getsize(args.image)
    if args.size_limit is not None:
        out.append(f"{image.name}: {size} bytes without payload (limit {args.size_limit})")
        if size > args.size_limit:
            out.append("  larger than the program it replaces")
            fail = True
    return fail


# ---------------------------------------------------------------- header

DLL_CHARACTERISTICS = {0x20: "HIGH_ENTROPY_VA", 0x40: "DYNAMIC_BASE", 0x80: "FORCE_INTEGRITY",
                       0x100: "NX_COMPAT", 0x200: "NO_ISOLATION", 0x400: "NO_SEH", 0x800: "NO_BIND",
                       0x1000: "APPCONTAINER", 0x2000: "WDM_DRIVER", 0x4000: "GUARD_CF",
                       0x8000: "TERMINAL_SERVER_AWARE"}
NO_DIRECTORIES = ("TLS", "load configuration", "bound import", "delay import",
                  "CLR runtime header", "exception")


def check_header(image, args, out):
    faults = []
    if image.machine != 0x14C:
        faults.append(f"machine 0x{image.machine:x}, not i386 (0x14c)")
    if image.pe32plus:
        faults.append("a PE32+ (64-bit) optional header")
    if image.os_version != (4, 0):
        faults.append("OS version %d.%d, not 4.0" % image.os_version)
    if image.subsystem_version != (4, 0):
        faults.append("subsystem version %d.%d, not 4.0: Windows 95 and NT 4.0 refuse a program "
                      "made for a later system" % image.subsystem_version)
    if image.subsystem != 2:
        faults.append(f"subsystem {image.subsystem}, not the Windows GUI (2)")
    if image.image_base < 0x400000:
        faults.append(f"image base 0x{image.image_base:x}, below the 4 MB where Windows 95 maps programs")
    fa = image.file_alignment
    if fa < 512 or fa & (fa - 1):
        faults.append(f"file alignment {fa}, not a power of two of at least 512")
    if image.section_alignment != 4096:
        faults.append(f"section alignment {image.section_alignment}, not 4096")
    for name in NO_DIRECTORIES:
        rva, size = image.directory(name)
        if rva or size:
            faults.append(f"has a {name} directory (0x{rva:x}, {size} bytes)")
    if not image.directory("TLS")[0] and any(s.name == ".tls" for s in image.sections):
        faults.append("has a TLS directory (a .tls section)")
    want = args.dll_characteristics
    if image.dll_characteristics != want:
        bits = [n for b, n in DLL_CHARACTERISTICS.items() if image.dll_characteristics & b]
        faults.append(f"DllCharacteristics 0x{image.dll_characteristics:04x} ({' '.join(bits) or 'none'}), "
                      f"not 0x{want:04x}")
    out.append(f"{image.name}: header: machine 0x{image.machine:x}, OS %d.%d, subsystem %d %d.%d, "
               "image base 0x%x, alignment %d/%d, DllCharacteristics 0x%04x"
               % (*image.os_version, image.subsystem, *image.subsystem_version, image.image_base,
                  image.file_alignment, image.section_alignment, image.dll_characteristics))
    out.extend(f"  {f}" for f in faults)
    return bool(faults)


# ---------------------------------------------------------------- instructions

def read_instruction_set(path):
    prefixes, mnemonics = [], []
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].split()
            if len(line) == 2:
                (prefixes if line[0] == "prefix" else mnemonics).append(line[1])
    return re.compile(f"^({'|'.join(prefixes)})$"), re.compile(f"^({'|'.join(mnemonics)})$")


def constructor_lists(image, section):
    """The start of the constructor and destructor lists that the linker puts
    at the end of .text (each -1, function pointers, 0), and the functions
    they name; None when the section does not end with them."""
    data = image.section_bytes(section)
    words = [struct.unpack_from("<I", data, i)[0] for i in range(0, len(data) - len(data) % 4, 4)]
    base = image.image_base + section.vaddr
    end = len(words)
    functions = []
    for _ in range(2):                       # the destructors, then the constructors
        if end == 0 or words[end - 1] != 0:
            return None
        i = end - 2
        while i >= 0 and words[i] != 0xFFFFFFFF:
            functions.append(words[i])
            i -= 1
        if i < 0:
            return None
        end = i
    if any(not base <= f < base + end * 4 for f in functions):
        return None
    return base + end * 4, functions


def disassemble(objdump, path, start, stop):
    """[(address, length, text)] of the code between start and stop."""
    listing = subprocess.run(
        [objdump, "-d", "-z", "--insn-width=16", f"--start-address=0x{start:x}",
         f"--stop-address=0x{stop:x}", path], capture_output=True, text=True, check=True).stdout
    result = []
    for line in listing.splitlines():
        parts = line.split("\t")
        if len(parts) < 3 or not re.match(r"^ *[0-9a-f]+:$", parts[0]):
            continue
        result.append((int(parts[0].strip(" :"), 16), len(parts[1].split()), parts[2].strip()))
    return result


BRANCH = re.compile(r"^(j[a-z]+|call[wl]?|loop[a-z]*)$")
DIRECT = re.compile(r"^(?:0x)?([0-9a-f]+)(?: <[^>]*>)?$")


def check_instructions(image, args, out):
    prefix, allowed = read_instruction_set(args.instructions)
    outside, faults, targets, starts = [], [], [], set()
    count = 0
    for section in image.sections:
        if not section.is_code:
            continue
        start = image.image_base + section.vaddr
        stop = start + section.vsize
        if section.name == ".text":
            lists = constructor_lists(image, section)
            if lists is None:
                faults.append(f"{section.name} does not end with the constructor lists")
            else:
                stop, functions = lists
                targets += [(stop, f) for f in functions]
        at = start
        for address, length, text in disassemble(args.objdump, args.image, start, stop):
            count += 1
            if address != at:
                faults.append(f"{address:x}: the code does not decode whole: an instruction was expected at {at:x}")
            at = address + length
            starts.add(address)
            if text == "(bad)":
                faults.append(f"{address:x}: undecodable bytes in the code")
                continue
            words = re.split(r"[ ,]+", text)
            i = 0
            while i < len(words) - 1 and prefix.match(words[i]):
                i += 1
            if not allowed.match(words[i]) and not prefix.match(words[i]):
                outside.append(f"  {address:x}\t{text}")
            elif BRANCH.match(words[i]) and i + 1 < len(words):
                target = DIRECT.match(" ".join(words[i + 1:]))
                if target:
                    targets.append((address, int(target.group(1), 16)))
        if at != stop:
            faults.append(f"{at:x}: the last instruction of {section.name} does not end where its code ends ({stop:x})")
    for source, target in targets:
        if target not in starts:
            faults.append(f"{source:x}: branches to {target:x}, which is not the start of an instruction")

    if outside:
        out.append(f"{image.name}: {len(outside)} instructions outside the 80386/80387 set:")
        out.extend(outside)
    else:
        out.append(f"{image.name}: all {count} instructions are of the 80386/80387")
    out.extend(f"  {f}" for f in faults)
    if not faults:
        out.append(f"{image.name}: the code decodes whole; {len(targets)} direct branch targets "
                   "start instructions")
    return bool(outside or faults)


# ---------------------------------------------------------------- resources

RESOURCE_TYPES = {1: "cursor", 2: "bitmap", 3: "icon", 4: "menu", 5: "dialog", 6: "string table",
                  7: "font directory", 8: "font", 9: "accelerators", 10: "data",
                  11: "message table", 12: "cursor group", 14: "icon group", 16: "version",
                  21: "animated cursor", 22: "animated icon"}
MANIFEST = 24
DS_FIXEDSYS, DS_SETFONT = 0x0008, 0x0040


def check_bitmap_header(data, what):
    """Faults of a packed DIB: a bitmap resource, an icon or cursor image."""
    if data[:8] == b"\x89PNG\r\n\x1a\n":
        return [f"{what}: PNG data, which only Windows Vista and later read"]
    if len(data) < 40:
        return [f"{what}: too short for a bitmap header"]
    size, _, _, _, bits, compression = struct.unpack_from("<IiiHHI", data)
    faults = []
    if size != 40:
        faults.append(f"{what}: a {size}-byte bitmap header, not the 40-byte BITMAPINFOHEADER")
    if compression not in (0, 1, 2):
        faults.append(f"{what}: compression {compression}, not BI_RGB (0) or RLE (1, 2)")
    if bits not in (1, 4, 8, 24):
        faults.append(f"{what}: {bits} bits per pixel, not 1, 4, 8 or 24")
    return faults


def check_resources(image, args, out):
    faults = []
    resources = image.resources()
    for rtype, name, lang, data in resources:
        kind = "manifest" if rtype == MANIFEST else RESOURCE_TYPES.get(rtype, rtype)
        what = f"{kind} {name} (language 0x{lang:x})"
        if rtype == MANIFEST:
            faults.append(f"{what}: a manifest (RT_MANIFEST), which Windows 95 and NT 4.0 do not read")
        elif isinstance(rtype, int) and rtype not in RESOURCE_TYPES:
            faults.append(f"{what}: resource type {rtype}, which Windows 95 does not know")
        elif rtype == 5:
            extended = data[:4] == b"\x01\x00\xff\xff"
            style = struct.unpack_from("<I", data, 12 if extended else 0)[0]
            if extended:
                faults.append(f"{what}: a DIALOGEX template, not a classic DIALOG one")
            if style & DS_FIXEDSYS:
                faults.append(f"{what}: " + ("DS_SHELLFONT" if style & DS_SETFONT else "DS_FIXEDSYS")
                              + " in its style, a font Windows 95 and NT 4.0 do not have")
        elif rtype in (2, 3):
            faults += check_bitmap_header(data, what)
        elif rtype == 1:
            faults += check_bitmap_header(data[4:], what)   # after the hot spot
    kinds = sorted({"manifest" if t == MANIFEST else RESOURCE_TYPES.get(t, str(t)) for t, _, _, _ in resources})
    out.append(f"{image.name}: {len(resources)} resources ({', '.join(kinds)})")
    out.extend(f"  {f}" for f in faults)
    return bool(faults)


# ---------------------------------------------------------------- main

CHECKS = {"imports": check_imports, "header": check_header,
          "instructions": check_instructions, "resources": check_resources}


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("image")
    parser.add_argument("checks", nargs="+", choices=sorted(CHECKS))
    parser.add_argument("--lists", nargs="*", default=[])
    parser.add_argument("--device-lists", nargs="*", default=[])
    parser.add_argument("--denylist")
    parser.add_argument("--size-limit", type=int)
    parser.add_argument("--dll-characteristics", type=lambda s: int(s, 0), default=0)
    parser.add_argument("--objdump", default="objdump")
    parser.add_argument("--instructions", default=os.path.join(os.path.dirname(__file__), "i386_instructions.txt"))
    args = parser.parse_args()
    try:
        image = Image(args.image)
    except (OSError, PeError) as e:
        print(f"{args.image}: not a program image: {e}")
        return 1
    image.name = os.path.basename(args.image)
    fail = False
    for check in args.checks:
        out = []
        try:
            failed = CHECKS[check](image, args, out)
        except PeError as e:
            out.append(f"{image.name}: {check}: the image cannot be read: {e}")
            failed = True
        print("\n".join(out))
        print(f"{check}: {'FAILED' if failed else 'ok'}")
        fail = fail or failed
    return 1 if fail else 0


if __name__ == "__main__":
    sys.exit(main())
