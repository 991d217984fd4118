#!/usr/bin/env python3
"""The product library exports the functions its public header declares and
the Java natives, by their plain names, and nothing else."""
import re
import subprocess
import sys

JAVA_NATIVE_PREFIX = "Java_com_quorvel_platwifi_BWifiPlatformService_"
# Emitted by the linker into every shared object.
LINKER_SYMBOLS = {"_init", "_fini", "_edata", "_end", "__bss_start"}


def declared_functions(header):
    text = open(header, encoding="utf-8").read()
    return set(re.findall(r"^WIRELESS_API\s+[\w\s\*]*?\b(\w+)\s*\(", text, re.M))


def exported_symbols(library):
    listing = subprocess.run(["nm", "-D", "--defined-only", library],
                             capture_output=True, text=True, check=True).stdout
    symbols = {}
    for line in listing.splitlines():
        fields = line.split()
        if len(fields) < 3:
            continue
        kind, name = fields[1], fields[2].split("@")[0]
        symbols[name] = kind
    return symbols


def main():
    library, header = sys.argv[1], sys.argv[2]
    declared = declared_functions(header)
    exported = exported_symbols(library)
    problems = []
    if len(declared) != 16:
        problems.append("the header declares %d functions, not 16: %s"
                        % (len(declared), sorted(declared)))
    for name in sorted(declared):
        if name not in exported:
            problems.append("not exported: " + name)
        elif exported[name] != "T":
            problems.append("exported as %s, not as a function: %s" % (exported[name], name))
    for name in sorted(exported):
        if name in declared or name in LINKER_SYMBOLS or name.startswith(JAVA_NATIVE_PREFIX):
            continue
        problems.append("exported but not part of the interface: " + name)
    for problem in problems:
        print(problem)
    if not problems:
        print("%d functions and %d Java natives exported, nothing else"
              % (len(declared), sum(n.startswith(JAVA_NATIVE_PREFIX) for n in exported)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
