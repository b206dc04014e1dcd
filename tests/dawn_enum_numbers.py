#!/usr/bin/env python3
"""Every enum value and flag constant our WebGPU declarations give, checked against the package that
describes the pinned Dawn library.

Usage: dawn_enum_numbers.py <webgpu_dawn.h> <the describing package's index.js>

The package lists most enums as objects of names and numbers (`var WGPUTextureFormat = defineEnum({
"rgba8unorm-srgb": 19, ...})`, flags as `COPY_SRC: 1 << 0`). Names differ in form from ours
(RGBA8UnormSrgb, Force32 / "force-32", MapRead / MAP_READ), so both are compared lower case with
"-" and "_" removed. A few enums it names differently (PACKAGE_NAMES); one number it fixes only as a
literal in its loader code (LITERAL_CHECKS). What it does not describe at all is listed with the
reason in NOT_DESCRIBED: a header value that is neither checked nor listed there fails the run, so
coverage cannot shrink unnoticed. Last, every checked number is changed by one in turn and must then
be reported, which shows the comparison itself can fail.
"""
import re
import sys

# Our enum or flag type -> the package's object, where the names differ.
PACKAGE_NAMES = {
    "WGPUPowerPreference": "PowerPreference",
    "WGPURequestAdapterStatus": "RequestAdapterStatus",
    "WGPURequestDeviceStatus": "RequestDeviceStatus",
    "WGPUFeatureName": "WGPUFeatureNameDef",
    "WGPUBufferUsage": "BufferUsageFlags",
    "WGPUTextureUsage": "TextureUsageFlags",
}

# Numbers the package fixes only as literals in its loader code: (our constant, a pattern whose group
# is that number, what the literal is).
LITERAL_CHECKS = [
    ("WGPUStatus_Success",
     r"const status = this\.lib\.wgpu(?:Adapter|Device)Get(?:Limits|Info)\([^;]*\);\s*if \(status !== (\d+)\)",
     "the status wgpuAdapterGetLimits, wgpuAdapterGetInfo and wgpuDeviceGetLimits return on success"),
]

# Values the package does not describe, with the reason; the report lists them.
NOT_DESCRIBED = {
    "WGPUStatus_Error": "the package names no WGPUStatus; its loader code compares only with Success",
    "WGPUStatus_Force32": "the package names no WGPUStatus",
    "WGPUBufferUsage_None": "the package's BufferUsageFlags lists no empty flag",
    "WGPUTextureUsage_None": "the package's TextureUsageFlags lists no empty flag",
}
# Enums the package describes without their force value (the number that keeps an enum 32 bits wide).
for _kind, _package_name in [(kind, PACKAGE_NAMES.get(kind, kind)) for kind in [
        "WGPUPowerPreference", "WGPURequestAdapterStatus", "WGPURequestDeviceStatus", "WGPUTextureFormat",
        "WGPUTextureViewDimension", "WGPUVertexStepMode", "WGPUPrimitiveTopology", "WGPUIndexFormat",
        "WGPUFrontFace", "WGPUCullMode", "WGPUStencilOperation", "WGPUBlendOperation", "WGPUBlendFactor",
        "WGPUOptionalBool", "WGPULoadOp", "WGPUStoreOp"]]:
    NOT_DESCRIBED[f"{_kind}_Force32"] = f"the package's {_package_name} lists no force value"
# Enums the package does not describe at all.
_UNDESCRIBED_ENUMS = {
    "WGPUAdapterType": (["DiscreteGPU", "IntegratedGPU", "CPU", "Unknown", "Force32"],
                        "its adapter info reads adapterType as a plain u32"),
    "WGPUPresentMode": (["Undefined", "Fifo", "Force32"], "its canvas context is a stand-in that draws into a "
                        "texture of its own and never configures a Dawn surface"),
    "WGPUCompositeAlphaMode": (["Auto", "Force32"], "its canvas context never configures a Dawn surface"),
    "WGPUSurfaceGetCurrentTextureStatus": (["SuccessOptimal", "SuccessSuboptimal", "Timeout", "Outdated", "Lost",
                                            "Error", "Force32"],
                                           "its canvas context never asks a Dawn surface for a texture"),
}
for _kind, (_names, _why) in _UNDESCRIBED_ENUMS.items():
    for _name in _names:
        NOT_DESCRIBED[f"{_kind}_{_name}"] = f"the package does not describe {_kind}: {_why}"


def normalised(name):
    return name.replace("-", "").replace("_", "").lower()


def header_values(text):
    """([(type, member, value)] for every enum member and flag constant in header order, [enum entries not
    read]): an entry without its own number would take one from its place, which moving it changes."""
    values, unread = [], []
    for kind, body in re.findall(r"typedef enum (WGPU\w+) \{(.*?)\} \1;", text, re.S):
        for entry in re.sub(r"//[^\n]*|/\*.*?\*/", "", body, flags=re.S).split(","):
            read = re.fullmatch(rf"\s*{kind}_(\w+) = (0x[0-9A-Fa-f]+|\d+)\s*", entry)
            if read:
                values.append((kind, read.group(1), int(read.group(2), 0)))
            elif entry.strip():
                unread.append(f"{kind}: {' '.join(entry.split())}")
    for kind, member, number in re.findall(r"static const (WGPU\w+) \1_(\w+) = (0x[0-9A-Fa-f]+|\d+);", text):
        values.append((kind, member, int(number, 0)))
    return values, unread


def package_number(expression):
    expression = expression.strip()
    shifted = re.fullmatch(r"(\d+) << (\d+)", expression)
    if shifted:
        return int(shifted.group(1)) << int(shifted.group(2))
    literal = re.fullmatch(r"(0x[0-9A-Fa-f]+|\d+)n?", expression)
    return int(literal.group(1), 0) if literal else None


def package_objects(text):
    """{object name: {normalised member: number}} for every top-level object of names and numbers."""
    objects = {}
    for name, body in re.findall(r"^var (\w+) = (?:defineEnum\()?\{\n(.*?)^\}", text, re.S | re.M):
        members = {}
        for line in body.splitlines():
            entry = re.fullmatch(r'\s*(?:"([^"]+)"|([A-Za-z_]\w*)): (.+?),?', line)
            if not entry:
                continue
            number = package_number(entry.group(3))
            if number is not None:
                members[normalised(entry.group(1) or entry.group(2))] = number
        if members:
            objects[name] = members
    return objects


def compare(values, objects, package_text):
    """(checked count, mismatches, unexplained) for the header values against the package."""
    checked, mismatches, unexplained = 0, [], []
    literal_numbers = {}
    for constant, pattern, meaning in LITERAL_CHECKS:
        found = {int(n) for n in re.findall(pattern, package_text)}
        literal_numbers[constant] = (found, meaning)
    for kind, member, number in values:
        constant = f"{kind}_{member}"
        described = objects.get(PACKAGE_NAMES.get(kind, kind), {})
        if normalised(member) in described:
            checked += 1
            if described[normalised(member)] != number:
                mismatches.append(f"{constant} is {number}; the package says {described[normalised(member)]}")
        elif constant in literal_numbers:
            found, meaning = literal_numbers[constant]
            if not found:
                unexplained.append(f"{constant}: the package no longer shows {meaning}")
                continue
            checked += 1
            if found != {number}:
                mismatches.append(
                    f"{constant} is {number}; the package's loader code uses {sorted(found)} as {meaning}")
        elif constant not in NOT_DESCRIBED:
            unexplained.append(f"{constant}: the package describes no such value")
    return checked, mismatches, unexplained


def main():
    header_path, package_path = sys.argv[1], sys.argv[2]
    with open(header_path) as f:
        header_text = f.read()
    with open(package_path) as f:
        package_text = f.read()
    values, unread = header_values(header_text)
    objects = package_objects(package_text)
    kinds = {kind for kind, _, _ in values}
    if len(values) < 150 or len(kinds) < 35 or len(objects) < 35:
        print(f"FAILED: read {len(values)} values of {len(kinds)} types from {header_path} and {len(objects)} objects "
              f"from {package_path}: the reading no longer fits the files")
        return 1

    checked, mismatches, unexplained = compare(values, objects, package_text)
    failed = bool(mismatches or unexplained or unread)
    for line in unread:
        print("FAILED: an enum entry not read as a name and its own number: " + line)
    for line in mismatches:
        print("FAILED: " + line)
    for line in unexplained:
        print("FAILED: not checked and not listed as undescribed: " + line)
    present = {f"{kind}_{member}" for kind, member, _ in values}
    for constant in sorted(set(NOT_DESCRIBED) - present):
        print(f"FAILED: {constant} is listed as undescribed but the header has no such value")
        failed = True
    print(f"{'FAILED' if failed else 'ok'}: {checked} of {len(values)} values of {len(kinds)} types in "
          f"{header_path.rsplit('/', 1)[-1]} checked against {package_path}")
    print(f"not described by the package ({len(present & set(NOT_DESCRIBED))}):")
    for constant in sorted(present & set(NOT_DESCRIBED)):
        print(f"  {constant}: {NOT_DESCRIBED[constant]}")

    # Each checked number changed by one must be reported (asked only of a header that passed).
    if failed:
        return 1
    unnoticed = []
    for i, (kind, member, number) in enumerate(values):
        changed = values[:i] + [(kind, member, number + 1)] + values[i + 1:]
        _, wrong, _ = compare(changed, objects, package_text)
        if f"{kind}_{member}" not in NOT_DESCRIBED and not wrong:
            unnoticed.append(f"{kind}_{member}")
    if unnoticed:
        print("FAILED: a number changed by one goes unnoticed: " + ", ".join(unnoticed))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
