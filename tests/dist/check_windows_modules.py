#!/usr/bin/env python3
"""Checks the Windows zips of the dist folder and the modules in them, statically (no machine
here runs 32-bit code): what each zip holds, and for npcamview.dll and CamViewControl.ocx the
PE machine, a fixed link time, no debug sections or symbols, imports from system DLLs only,
exactly the exports of the .def files, the resources, the version resource's keys, and no build
time in the control's type library.
Usage: check_windows_modules.py --dist DIR --version X.Y.Z --source DIR
"""
import argparse
import os
import re
import struct
import subprocess
import sys
import tempfile
import zipfile

# The system DLLs the modules may import (MinGW links the C run-time msvcrt.dll). Anything
# else (libgcc_s, libstdc++, libwinpthread, a compiler's run-time DLL) would be missing on a
# user's machine.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "ole32.dll", "oleaut32.dll",
               "ws2_32.dll", "msvcrt.dll"}

KINDS = {  # zip kind: (PE machine, objdump, .def of the plug-in)
    "win32": (0x014C, "i686-w64-mingw32-objdump", "npcamview-i686.def"),
    "win64": (0x8664, "x86_64-w64-mingw32-objdump", "npcamview-x86_64.def"),
}

VERSION_KEYS = {
    "npcamview.dll": ("040904E4", {
        "MIMEType": "application/x-quellmark-wavelet",
        "FileExtents": "wlt",
        "FileOpenName": "npcamview Plugin File (*.wlt)",
        "FileDescription": "npcamview",
        "InternalName": "NPCAMVIEW",
        "OriginalFilename": "npcamview.dll",
        "FileVersion": "1, 0, 0, 1",
        "ProductVersion": "1, 0, 0, 1",
    }),
    "CamViewControl.ocx": ("040704B0", {
        "FileDescription": "CamViewControl ActiveX-Steuerelement-Modul",
        "FileVersion": "1, 0, 0, 1",
        "InternalName": "CamViewControl",
        "OriginalFilename": "CamViewControl.OCX",
        "ProductName": "CamViewControl ActiveX Control Module",
        "ProductVersion": "1, 0, 0, 1",
        "OLESelfRegister": "",
    }),
}

RESOURCES = {  # resources each module must carry, as wrestool -l names them
    "npcamview.dll": [("'FONTS'", str(n)) for n in range(104, 112)],
    "CamViewControl.ocx": [("'FONTS'", str(n)) for n in range(201, 209)]
    + [("'TYPELIB'", "1"), ("2", "1"), ("5", "200")],
}

failures = []


def fail(message):
    failures.append(message)
    print("FAIL: " + message, file=sys.stderr)


def def_exports(path):
    """{name: ordinal or None} of a module-definition file."""
    exports, listing = {}, False
    with open(path) as file:
        for line in file:
            line = line.split(";")[0].strip()
            if not line:
                continue
            if line.upper() == "EXPORTS":
                listing = True
            elif listing:
                # NAME [= INTERNAL@N] [@ORDINAL] [PRIVATE]
                name = re.split(r"[\s=]", line)[0]
                ordinals = [int(t[1:]) for t in line.split() if t.startswith("@") and t[1:].isdigit()]
                exports[name] = ordinals[0] if ordinals else None
    return exports


def pe_header(data):
    """(machine, time stamp, symbol table pointer, symbol count, debug directory size)."""
    if len(data) < 0x40 or data[:2] != b"MZ":
        raise ValueError("no MZ header")
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    if pe + 24 > len(data) or data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE header")
    machine, _, stamp, symbols, symbol_count, optional_size = struct.unpack_from("<HHIIIH", data, pe + 4)
    optional = pe + 24
    if optional + optional_size > len(data) or optional_size < 2:
        raise ValueError("optional header out of the file")
    (magic,) = struct.unpack_from("<H", data, optional)
    directories = optional + {0x10B: 96, 0x20B: 112}.get(magic, 0)
    if directories == optional or directories + 7 * 8 > optional + optional_size:
        raise ValueError("unknown optional header")
    (debug_size,) = struct.unpack_from("<I", data, directories + 6 * 8 + 4)
    return machine, stamp, symbols, symbol_count, debug_size


def objdump(tool, option, path):
    return subprocess.run([tool, option, path], check=True, capture_output=True, text=True).stdout


def version_strings(block):
    """{(string table name, key): value} of a VS_VERSIONINFO block, every length bounds-checked."""
    strings = {}

    def node(offset, limit, depth, table):
        if offset + 6 > limit:
            raise ValueError("version node header out of bounds")
        length, value_length, kind = struct.unpack_from("<HHH", block, offset)
        end = offset + length
        if length < 6 or end > limit:
            raise ValueError("version node length out of bounds")
        key_end = offset + 6
        while True:
            if key_end + 2 > end:
                raise ValueError("version key not terminated")
            if block[key_end:key_end + 2] == b"\0\0":
                break
            key_end += 2
        key = block[offset + 6:key_end].decode("utf-16-le")
        value_start = (key_end + 2 + 3) & ~3
        value_bytes = value_length * 2 if kind == 1 else value_length
        value_end = min(value_start + value_bytes, end)
        if depth == 3:  # a String: key and text
            text = block[value_start:value_end].decode("utf-16-le", "replace") if value_start < end else ""
            strings[(table, key)] = text.split("\0")[0]
        child = (value_end + 3) & ~3
        while child < end:
            child = (node(child, end, depth + 1, key if depth == 2 else table) + 3) & ~3
        return end

    node(0, len(block), 0, None)
    return strings


def check_module(path, name, kind, source, scratch):
    machine_expected, tool, plugin_def = KINDS[kind]
    label = f"{kind}/{name}"
    with open(path, "rb") as file:
        data = file.read()
    try:
        machine, stamp, symbols, symbol_count, debug_size = pe_header(data)
    except ValueError as error:
        fail(f"{label}: {error}")
        return
    if machine != machine_expected:
        fail(f"{label}: PE machine {machine:#06x}, expected {machine_expected:#06x}")
        return
    if stamp != 0:
        fail(f"{label}: link time stamp {stamp} in the PE header (the same tree must give the same bytes)")
    if symbols or symbol_count:
        fail(f"{label}: carries a symbol table ({symbol_count} symbols): not stripped")
    if debug_size:
        fail(f"{label}: has a debug directory")

    sections = re.findall(r"^\s*\d+\s+(\S+)\s", objdump(tool, "-h", path), re.M)
    debug = [s for s in sections if s.startswith((".debug", ".zdebug", ".stab"))]
    if debug:
        fail(f"{label}: debug sections {debug}")

    details = objdump(tool, "-p", path)
    imports = {dll.lower() for dll in re.findall(r"DLL Name: (\S+)", details)}
    if not imports:
        fail(f"{label}: no imports found")
    if imports - SYSTEM_DLLS:
        fail(f"{label}: imports non-system DLLs {sorted(imports - SYSTEM_DLLS)}")
    base = re.search(r"^Ordinal Base\s+(\d+)", details, re.M)
    table = details.split("[Ordinal/Name Pointer] Table", 1)
    exports = {}
    if base and len(table) == 2:
        for index, export in re.findall(r"^\s*\[\s*(\d+)\]\s+(\S+)\s*$", table[1], re.M):
            exports[export] = int(index) + int(base.group(1))
    definition = plugin_def if name == "npcamview.dll" else "CamViewControl.def"
    folder = "plugin" if name == "npcamview.dll" else "activex"
    expected = def_exports(os.path.join(source, "hosts", folder, definition))
    if sorted(exports) != sorted(expected):
        fail(f"{label}: exports {sorted(exports)}, expected {sorted(expected)}")
    for export, ordinal in expected.items():
        if ordinal is not None and exports.get(export) not in (None, ordinal):
            fail(f"{label}: {export} has ordinal {exports[export]}, expected {ordinal}")

    listing = subprocess.run(["wrestool", "-l", path], check=True, capture_output=True, text=True).stdout
    present = set(re.findall(r"--type=(\S+) --name=(\S+) ", listing))
    for resource in RESOURCES[name]:
        if resource not in present:
            fail(f"{label}: no resource of type {resource[0]} named {resource[1]}")
    if name == "CamViewControl.ocx":
        # widl writes its run time into the type library unless scripts/dist-widl fixes it.
        library = subprocess.run(["wrestool", "-x", "--raw", "--type=TYPELIB", path], check=True,
                                 capture_output=True).stdout
        created = re.findall(rb"Created by WIDL version \S+ at (.{24})", library)
        if any(when != b"Thu Jan  1 00:00:00 1970" for when in created):
            fail(f"{label}: the type library carries its build time {created}")
    block_path = os.path.join(scratch, f"{kind}-{name}.version")
    subprocess.run(["wrestool", "-x", "--raw", "--type=16", "-o", block_path, path], check=True)
    table, keys = VERSION_KEYS[name]
    try:
        with open(block_path, "rb") as file:
            strings = version_strings(file.read())
    except (OSError, ValueError) as error:
        fail(f"{label}: version resource unreadable: {error}")
        return
    for key, value in keys.items():
        found = strings.get((table, key))
        if found != value:
            fail(f"{label}: version key {table}/{key} is {found!r}, expected {value!r}")


def check_zip(dist, version, kind, source, scratch):
    top = f"camview-{version}-{kind}"
    path = os.path.join(dist, top + ".zip")
    if not os.path.isfile(path):
        fail(f"{path} is missing")
        return
    files = ["npcamview.dll", "CamViewControl.ocx", "example-embed.html", "example-object.html",
             "register.cmd", "unregister.cmd", "README.txt"]
    with zipfile.ZipFile(path) as archive:
        names = archive.namelist()
        if sorted(names) != sorted([top + "/"] + [f"{top}/{f}" for f in files]):
            fail(f"{kind}: the zip holds {names}")
            return
        if names != sorted(names):
            fail(f"{kind}: zip entries are not sorted")
        archive.extractall(scratch)
    folder = os.path.join(scratch, top)

    def read(file):
        with open(os.path.join(folder, file), "rb") as handle:
            return handle.read()

    for page, origin in (("example-embed.html", "hosts/plugin/example.html"),
                         ("example-object.html", "hosts/activex/example.html")):
        with open(os.path.join(source, origin), "rb") as handle:
            if read(page) != handle.read():
                fail(f"{kind}: {page} is not {origin}")
    for text in ("register.cmd", "unregister.cmd", "README.txt"):
        content = read(text)
        if content.count(b"\n") != content.count(b"\r\n") or b"@BITS@" in content:
            fail(f"{kind}: {text} is not a CRLF text with its placeholders filled in")
    bits = "64" if kind == "win64" else "32"
    if f'if "{bits}"=="64"'.encode() not in read("register.cmd"):
        fail(f"{kind}: register.cmd is not the {bits}-bit one")
    for module in ("npcamview.dll", "CamViewControl.ocx"):
        check_module(os.path.join(folder, module), module, kind, source, scratch)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dist", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--source", required=True)
    args = parser.parse_args()
    for kind in KINDS:
        with tempfile.TemporaryDirectory() as scratch:
            check_zip(args.dist, args.version, kind, args.source, scratch)
    if failures:
        sys.exit(f"{len(failures)} faults in the Windows zips")
    print("the Windows zips and modules are as they must be")


if __name__ == "__main__":
    main()
