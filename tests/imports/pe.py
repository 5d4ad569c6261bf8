"""A reader of the parts of a PE image (a Windows program) that the checks of
check_image.py look at: the headers, the section table, the import table and
the resource tree. Read from the file's bytes, without the tools of the
toolchain that made it."""
import struct

# Data directories, by their index in the optional header.
DIRECTORIES = ("export", "import", "resource", "exception", "security", "base relocation",
               "debug", "architecture", "global pointer", "TLS", "load configuration",
               "bound import", "import address table", "delay import", "CLR runtime header",
               "reserved")

IMAGE_SCN_CNT_CODE = 0x00000020
IMAGE_SCN_MEM_EXECUTE = 0x20000000


class PeError(Exception):
    pass


class Section:
    def __init__(self, name, vaddr, vsize, raw_offset, raw_size, flags):
        self.name, self.vaddr, self.vsize = name, vaddr, vsize
        self.raw_offset, self.raw_size, self.flags = raw_offset, raw_size, flags

    @property
    def is_code(self):
        return bool(self.flags & (IMAGE_SCN_CNT_CODE | IMAGE_SCN_MEM_EXECUTE))


class Image:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        if d[:2] != b"MZ":
            raise PeError("no MZ header")
        pe = self.u32(0x3C)
        if d[pe:pe + 4] != b"PE\0\0":
            raise PeError("no PE signature")
        (self.machine, nsections, _, _, _, opt_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", d, pe + 4)
        opt = pe + 24
        self.magic = self.u16(opt)
        if self.magic == 0x10B:        # PE32
            self.image_base = self.u32(opt + 28)
            ndir_at, dirs_at = opt + 92, opt + 96
        elif self.magic == 0x20B:      # PE32+
            self.image_base = struct.unpack_from("<Q", d, opt + 24)[0]
            ndir_at, dirs_at = opt + 108, opt + 112
        else:
            raise PeError(f"unknown optional header magic 0x{self.magic:x}")
        self.pe32plus = self.magic == 0x20B
        self.entry = self.u32(opt + 16)
        self.section_alignment, self.file_alignment = struct.unpack_from("<II", d, opt + 32)
        (self.os_version, self.image_version,
         self.subsystem_version) = [struct.unpack_from("<HH", d, opt + 40 + 4 * i) for i in range(3)]
        self.win32_version = self.u32(opt + 52)
        self.subsystem, self.dll_characteristics = struct.unpack_from("<HH", d, opt + 68)
        ndirs = self.u32(ndir_at)
        self.directories = {}
        for i in range(min(ndirs, len(DIRECTORIES))):
            self.directories[DIRECTORIES[i]] = struct.unpack_from("<II", d, dirs_at + 8 * i)
        self.sections = []
        at = opt + opt_size
        for i in range(nsections):
            name = d[at:at + 8].rstrip(b"\0").decode("latin-1")
            vsize, vaddr, raw_size, raw_offset = struct.unpack_from("<IIII", d, at + 8)
            flags = self.u32(at + 36)
            self.sections.append(Section(name, vaddr, vsize, raw_offset, raw_size, flags))
            at += 40

    def u16(self, offset):
        return struct.unpack_from("<H", self.data, offset)[0]

    def u32(self, offset):
        return struct.unpack_from("<I", self.data, offset)[0]

    def directory(self, name):
        """(rva, size) of a data directory; (0, 0) when the header has no entry for it."""
        return self.directories.get(name, (0, 0))

    def offset(self, rva):
        for s in self.sections:
            if s.vaddr <= rva < s.vaddr + max(s.vsize, s.raw_size):
                if rva - s.vaddr >= s.raw_size:
                    raise PeError(f"RVA 0x{rva:x} lies in the uninitialised part of {s.name}")
                return s.raw_offset + rva - s.vaddr
        raise PeError(f"RVA 0x{rva:x} lies in no section")

    def read(self, rva, size):
        start = self.offset(rva)
        return self.data[start:start + size]

    def string(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("latin-1")

    def section_bytes(self, section):
        """The section's contents as loaded: its raw data up to its virtual size."""
        raw = self.data[section.raw_offset:section.raw_offset + min(section.raw_size, section.vsize)]
        return raw + b"\0" * (section.vsize - len(raw))

    def imports(self):
        """[(dll, [function name, or the int ordinal for an import by ordinal])]."""
        rva, size = self.directory("import")
        result = []
        if not rva:
            return result
        thunk_size, ordinal_flag = (8, 1 << 63) if self.pe32plus else (4, 1 << 31)
        at = rva
        while True:
            lookup, _, _, name_rva, first_thunk = struct.unpack("<IIIII", self.read(at, 20))
            if not name_rva and not first_thunk:
                break
            names = []
            t = lookup or first_thunk
            while True:
                value = int.from_bytes(self.read(t, thunk_size), "little")
                if not value:
                    break
                names.append(value & 0xFFFF if value & ordinal_flag else self.string(value + 2))
                t += thunk_size
            result.append((self.string(name_rva), names))
            at += 20
        return result

    def resources(self):
        """[(type, name, language, data)]; a type or name is an int (an id) or a str."""
        base, _ = self.directory("resource")
        if not base:
            return []

        def entries(rva):
            named, ids = struct.unpack("<HH", self.read(rva + 12, 4))
            for i in range(named + ids):
                key, target = struct.unpack("<II", self.read(rva + 16 + 8 * i, 8))
                if key & 0x80000000:
                    at = base + (key & 0x7FFFFFFF)
                    length = struct.unpack("<H", self.read(at, 2))[0]
                    key = self.read(at + 2, 2 * length).decode("utf-16-le")
                yield key, target

        result = []
        for rtype, t in entries(base):
            for name, n in entries(base + (t & 0x7FFFFFFF)):
                for lang, leaf in entries(base + (n & 0x7FFFFFFF)):
                    data_rva, size = struct.unpack("<II", self.read(base + leaf, 8))
                    result.append((rtype, name, lang, self.read(data_rva, size)))
        return result
