#!/usr/bin/env python3
"""Checks that a library's dynamic symbol table holds its exported interface
and nothing else.

    check-exported-symbols.py LIBRARY INSTALLED_HEADER_DIR SOURCE_HEADER_DIR

The interface is what the installed headers mark OVKIT_EXPORT: whole classes
(their members, vtables and type information) and free functions. Helpers
declared in the headers that are not installed must be in the library's own
symbol table but hidden from the dynamic one. Weak copies of other libraries'
inline code (Qt's, in a build without optimisation) are not the library's own
and are let through; nothing of the library's own may be exported that way.
"""
import pathlib
import re
import subprocess
import sys

# Defined by the linker in every shared object.
LINKER_SYMBOLS = {"__bss_start", "_edata", "_end", "_init", "_fini"}
# Weak and unique symbols: copies of inline code and type information that
# every object using them carries, such as Qt's own in an unoptimised build.
VAGUE_LINKAGE = {"W", "V", "u"}
# Compiler-made companions of a class's symbols.
CLASS_SYMBOL = re.compile(
    r"^(?:vtable for |typeinfo for |typeinfo name for |(?:non-)?virtual thunk to |"
    r"guard variable for )?(?P<name>[A-Za-z_]\w*)(?:::|$)")


def declarations(header):
    """Exported classes and (namespace-qualified) functions of a header, and
    the other functions it declares at namespace level."""
    text = header.read_text(encoding="utf-8")
    namespace = re.search(r"^namespace (\w+)", text, re.M)
    prefix = namespace.group(1) + "::" if namespace else ""
    classes = set(re.findall(r"^class\s+OVKIT_EXPORT\s+(\w+)", text, re.M))
    structs = set(re.findall(r"^struct\s+OVKIT_EXPORT\s+(\w+)", text, re.M))
    exported = {prefix + f for f in re.findall(r"^OVKIT_EXPORT\s[^(;]*?(\w+)\(", text, re.M)}
    internal = {prefix + f for f in re.findall(r"^(?!OVKIT_EXPORT)[A-Za-z_][\w:<>]*[\s*&]+(\w+)\(", text, re.M)}
    return classes, structs, exported, internal


def symbols(library, dynamic):
    """Demangled names of the defined symbols: {name: type letter}."""
    command = ["nm", "--defined-only", "-C"] + (["-D"] if dynamic else []) + [str(library)]
    table = {}
    for line in subprocess.run(command, check=True, capture_output=True, text=True).stdout.splitlines():
        parts = line.split(" ", 2)
        if len(parts) == 3:
            table.setdefault(parts[2], parts[1])
    return table


def main():
    library, installed, sources = map(pathlib.Path, sys.argv[1:4])
    installed_names = {h.name for h in installed.glob("*.h")}
    classes, structs, functions, hidden = set(), set(), set(), set()
    for header in sorted(sources.glob("*.h")):
        c, s, f, i = declarations(header)
        if header.name in installed_names:
            classes |= c
            structs |= s
            functions |= f
        else:
            hidden |= i

    failures = []
    exported = symbols(library, dynamic=True)
    for name in sorted(exported):
        # __odr_asan: AddressSanitizer's marker beside each exported variable.
        if name in LINKER_SYMBOLS or name.startswith("__odr_asan"):
            continue
        match = CLASS_SYMBOL.match(name)
        own = name.startswith(("Ov", "ov::")) or (match and match.group("name").startswith("Ov"))
        if exported[name] in VAGUE_LINKAGE and not own:
            continue
        if match and match.group("name") in classes | structs:
            continue
        if name.split("(")[0] in functions:
            continue
        failures.append("exported but not part of the interface: " + name)

    for cls in sorted(classes):
        if not any(CLASS_SYMBOL.match(n) and CLASS_SYMBOL.match(n).group("name") == cls for n in exported):
            failures.append("exported class without symbols: " + cls)
    for function in sorted(functions):
        if not any(n.split("(")[0] == function for n in exported):
            failures.append("exported function missing: " + function)

    # The check above means something only if the helpers are in the library.
    everything = symbols(library, dynamic=False)
    if not hidden:
        failures.append("no internal helpers found to check")
    for helper in sorted(hidden):
        defined = [n for n in everything if n.split("(")[0] == helper]
        if not defined:
            failures.append("internal helper not in the library's symbol table: " + helper)
        elif any(n.split("(")[0] == helper for n in exported):
            failures.append("internal helper exported: " + helper)

    print("%d exported symbols; interface: %d classes, %d functions; hidden helpers: %s"
          % (len(exported), len(classes), len(functions), ", ".join(sorted(hidden))))
    for failure in failures:
        print("FAIL: " + failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
