#!/usr/bin/env python3
"""libkestrel.so exports its public API alone: every defined dynamic symbol
is a C function declared in include/kestrel.h, or a C++ name of namespace
kestrel or Kestrel20ImpExp whose every part (namespace, class, function) is
a name the public headers declare. An internal function (kestrel::importer::
..., a store backend's class) or an instance of a standard template fails.
Usage: exports_test.py LIBRARY INCLUDE_DIR"""
import pathlib
import re
import subprocess
import sys

library, include = sys.argv[1], pathlib.Path(sys.argv[2])


def public_names(path):
    text = path.read_text(encoding="latin-1")
    text = re.sub(r"/\*.*?\*/", " ", text, flags=re.S)
    text = re.sub(r"//[^\n]*", " ", text)
    return set(re.findall(r"[A-Za-z_][A-Za-z0-9_]*", text))


c_names = public_names(include / "kestrel.h")
cpp_names = set()
for header in (include / "kestrel").glob("*.h"):
    cpp_names |= public_names(header)

symbols = subprocess.run(["nm", "-D", "--defined-only", "--format=posix", library], check=True,
                         capture_output=True, text=True).stdout.split("\n")
symbols = [line.split(" ")[0] for line in symbols if line]
demangled = subprocess.run(["c++filt"], input="\n".join(symbols), check=True, capture_output=True,
                           text=True).stdout.split("\n")

PREFIXES = ("typeinfo name for ", "typeinfo for ", "vtable for ", "VTT for ", "non-virtual thunk to ",
            "virtual thunk to ")


def strip_templates(name):
    out, depth = "", 0
    for ch in name:
        depth += ch == "<"
        if depth == 0:
            out += ch
        depth -= ch == ">"
    return out


def problem(mangled, name):
    if not mangled.startswith("_Z"):
        if not mangled.startswith("kestrel_") or mangled not in c_names:
            return "a C name include/kestrel.h does not declare"
        return None
    for prefix in PREFIXES:
        if name.startswith(prefix):
            name = name[len(prefix):]
    qualified = strip_templates(name.split("(")[0]).replace("[abi:cxx11]", "")
    parts = qualified.split("::")
    if parts[0] not in ("kestrel", "Kestrel20ImpExp"):
        return "outside namespaces kestrel and Kestrel20ImpExp"
    for part in parts:
        part = part.lstrip("~")
        if part.startswith("operator"):
            continue
        if part not in cpp_names:
            return f"{part} is no name of include/kestrel/"
    return None


failures = [f"{name}: {why}" for mangled, name in zip(symbols, demangled) if (why := problem(mangled, name))]
print(f"{len(symbols)} exported symbols, {len(failures)} not of the public API")
for line in failures:
    print("  " + line)
if not symbols or not any(s.startswith("kestrel_") for s in symbols):
    print("the C functions are not exported")
    sys.exit(1)
sys.exit(1 if failures else 0)
