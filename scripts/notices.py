#!/usr/bin/env python3
"""Third-party notices: which component each shipped file holds, and each component's licence text,
read from the package that component came from.

  notices.py write KIND OUT        writes the notices of artefact KIND (linux, windows, server-deb,
                                   repository) to OUT
  notices.py check KIND FOLDER     checks an unpacked artefact: every file it ships belongs to a row of
                                   the table below, and its THIRD-PARTY-NOTICES.txt has exactly one
                                   section for each component those files hold, each with its licence

Licence texts are fetched once into the cache (npm packages checked against their published
integrity, Debian packages through apt-get download, which leaves the machine's sources untouched).
"""
import hashlib
import base64
import os
import re
import subprocess
import sys
import tarfile
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
NOTICES_NAME = "THIRD-PARTY-NOTICES.txt"
RULE = "=" * 78


def versions():
    """The pinned versions of scripts/versions.sh, read by the shell that owns them."""
    out = subprocess.run(["bash", "-c", 'source "$0"; set', os.path.join(HERE, "versions.sh")],
                         check=True, capture_output=True, text=True).stdout
    values = {}
    for line in out.splitlines():
        name, _, value = line.partition("=")
        values[name] = value.strip("'")
    return values


V = versions()
CACHE = os.path.join(V["VZ_CACHE"], "licences")

# Components: title, where the licence text is read from, what it covers, and which full licence
# texts its text only names (Debian's copyright files point at /usr/share/common-licenses).
#   ("npm", package, version, integrity variable, member)   a file of a published npm package
#   ("deb", package, member)                                 a file of this Debian release's package
#   ("installed", path)                                      a file of an installed Debian package
#   ("cache", path under the set-up cache)                   a file of a package the set-up unpacked
#   ("stb", header)                                          the licence block at the end of an stb header
COMPONENTS = {
    "dawn": ("Dawn and Tint, the WebGPU implementation inside webgpu_wrapper",
             ("npm", "webgpu", V["DAWN_LICENSE_NPM_VERSION"], "DAWN_LICENSE_INTEGRITY", "package/LICENSE.md"), []),
    "bun-webgpu-linux": ("bun-webgpu's wrapper library around Dawn (libwebgpu_wrapper.so)",
                         ("npm", "bun-webgpu-linux-x64", V["DAWN_NPM_VERSION"], "DAWN_LIB_INTEGRITY",
                          "package/LICENSE"), []),
    "bun-webgpu-windows": ("bun-webgpu's wrapper library around Dawn (webgpu_wrapper.dll)",
                           ("npm", "bun-webgpu-win32-x64", V["DAWN_WIN_NPM_VERSION"], "DAWN_WIN_LIB_INTEGRITY",
                            "package/LICENSE"), []),
    "abseil": ("Abseil, built into Dawn's library", ("deb", "libabsl20220623", "copyright"), ["Apache-2.0"]),
    "spirv-tools": ("SPIRV-Tools, built into Dawn's library", ("deb", "spirv-tools", "copyright"), ["Apache-2.0"]),
    "spirv-headers": ("SPIRV-Headers, built into Dawn's library", ("deb", "spirv-headers", "copyright"), []),
    "vulkan": ("The Vulkan headers and loader code, built into Dawn's library",
               ("deb", "libvulkan-dev", "copyright"), ["Apache-2.0"]),
    "sdl3-linux": ("SDL 3 (libSDL3.so.0)", ("cache", "sdl3-%s/share/licenses/SDL3/LICENSE.txt" % V["SDL3_VERSION"]), []),
    "sdl3-windows": ("SDL 3 (SDL3.dll)", ("cache", "sdl3-%s-mingw/share/licenses/SDL3/LICENSE.txt" % V["SDL3_VERSION"]),
                     []),
    "stb": ("stb_image and stb_truetype, built into the client", ("stb", "stb_truetype.h"), []),
    "league-spartan": ("League Spartan Bold, the font shipped as coolvetica.otf (unmodified, renamed)",
                       ("installed", "/usr/share/doc/fonts-league-spartan/copyright"), []),
    "mingw-w64": ("MinGW-w64's start-up code and winpthreads, linked into each Windows program",
                  ("installed", "/usr/share/doc/mingw-w64-x86-64-dev/copyright"), []),
    "gcc-runtime": ("GCC's C++ and support libraries (libstdc++, libgcc), linked into each Windows program",
                    ("installed", "/usr/share/doc/gcc-mingw-w64-x86-64-posix-runtime/copyright"), ["GPL-3"]),
}

# What each shipped file holds: (pattern, components). A file no pattern matches fails the check.
WINDOWS_PROGRAM = ["mingw-w64", "gcc-runtime"]
DAWN_INSIDE = ["dawn", "abseil", "spirv-tools", "spirv-headers", "vulkan"]
FILES = {
    "linux": [
        (r"vornhalzanthery", ["stb"]),
        (r"vornhalzanthery-(server|bots)", []),
        (r"libSDL3\.so\.0", ["sdl3-linux"]),
        (r"libwebgpu_wrapper\.so", ["bun-webgpu-linux"] + DAWN_INSIDE),
        (r"coolvetica\.otf", ["league-spartan"]),
    ],
    "windows": [
        (r"vornhalzanthery\.exe", ["stb"] + WINDOWS_PROGRAM),
        (r"vornhalzanthery-(server|bots)\.exe", WINDOWS_PROGRAM),
        (r"SDL3\.dll", ["sdl3-windows"] + WINDOWS_PROGRAM),
        (r"webgpu_wrapper\.dll", ["bun-webgpu-windows"] + DAWN_INSIDE),
        (r"coolvetica\.otf", ["league-spartan"]),
    ],
    "server-deb": [
        (r"usr/bin/vornhalzanthery-server", []),
        (r"(usr/)?lib/systemd/system/vornhalzanthery-server@?\.service", []),
        (r"usr/share/doc/vornhalzanthery-server/(copyright|changelog\.gz)", []),
        (r"usr/share/man/man1/vornhalzanthery-server\.1\.gz", []),
    ],
}
# Our own files, in every artefact: the floor maps made at build time, the readmes and settings.
OURS = r"(.*/)?(floor/(base|normal|orm)\.jpg|README(\.txt)?|settings\.txt|%s)" % re.escape(NOTICES_NAME)


def components_of(kind, names):
    """The components the files named hold, in the table's order; None for the first unknown file."""
    wanted = set()
    for name in names:
        if re.fullmatch(OURS, name):
            continue
        rows = [parts for pattern, parts in FILES[kind] if re.fullmatch(pattern, name)]
        if not rows:
            return None, name
        wanted.update(rows[0])
    return [c for c in COMPONENTS if c in wanted], None


def integrity_of(path):
    with open(path, "rb") as source:
        return "sha512-" + base64.b64encode(hashlib.sha512(source.read()).digest()).decode()


def fetched(kind, *where):
    """The path of a licence file in the cache, fetching it first when it is not there yet."""
    os.makedirs(CACHE, exist_ok=True)
    if kind == "npm":
        package, version, integrity, member = where
        target = os.path.join(CACHE, "npm-%s-%s-%s" % (package, version, os.path.basename(member)))
        if os.path.exists(target):
            return target
        with tempfile.TemporaryDirectory() as work:
            subprocess.run(["npm", "pack", "--silent", "%s@%s" % (package, version)], cwd=work, check=True,
                           stdout=subprocess.DEVNULL)
            tarball = os.path.join(work, "%s-%s.tgz" % (package, version))
            if integrity_of(tarball) != V[integrity]:
                sys.exit("notices: %s@%s does not match its published integrity" % (package, version))
            with tarfile.open(tarball) as archive:
                data = archive.extractfile(member).read()
        with open(target + ".part", "wb") as out:
            out.write(data)
        os.replace(target + ".part", target)
        return target
    if kind == "deb":
        package, _ = where
        with tempfile.TemporaryDirectory() as work:
            os.chmod(work, 0o755)
            version = subprocess.run(["apt-cache", "policy", package], check=True, capture_output=True,
                                     text=True).stdout
            version = re.search(r"Candidate: (\S+)", version).group(1)
            target = os.path.join(CACHE, "deb-%s-%s-copyright" % (package, version.replace(":", "_")))
            if os.path.exists(target):
                return target
            subprocess.run(["apt-get", "download", "-qq", "%s=%s" % (package, version)], cwd=work, check=True,
                           stderr=subprocess.DEVNULL)
            deb = [f for f in os.listdir(work) if f.endswith(".deb")][0]
            member = "./usr/share/doc/%s/copyright" % package
            tar = subprocess.run(["dpkg-deb", "--fsys-tarfile", os.path.join(work, deb)], check=True,
                                 capture_output=True).stdout
            subprocess.run(["tar", "-x", "-C", work, member], input=tar, check=True)
            os.replace(os.path.join(work, member), target)
        return target
    if kind == "installed":
        return where[0]
    if kind == "cache":
        return os.path.join(V["VZ_CACHE"], where[0])
    if kind == "stb":
        return os.path.join(V["VZ_CACHE"], "stb-%s" % V["STB_DEBIAN_VERSION"], "include", "stb", where[0])
    raise ValueError(kind)


def source_line(source):
    kind = source[0]
    if kind == "npm":
        return "npm package %s@%s, %s" % (source[1], source[2], source[4].replace("package/", ""))
    if kind == "deb":
        return "Debian 12 package %s, /usr/share/doc/%s/copyright" % (source[1], source[1])
    if kind == "installed":
        return "Debian 12 package %s, %s" % (source[1].split("/")[4], source[1])
    if kind == "cache":
        return "SDL3's source package (Debian's libsdl3 %s), LICENSE.txt" % V["SDL3_DEBIAN_VERSION"]
    return "Debian's libstb %s source package, the licence at the end of %s" % (V["STB_DEBIAN_VERSION"], source[1])


def licence_text(source):
    path = fetched(*source)
    with open(path, encoding="utf-8", errors="replace") as text:
        body = text.read()
    if source[0] == "stb":
        start = body.rindex("This software is available under 2 licenses")
        body = body[start:body.index("*/", start)]
    return body.strip("\n") + "\n"


def section(title, shipped_in, read_from, body):
    return "%s\n%s\nShipped in: %s\nRead from: %s\n%s\n\n%s\n" % (RULE, title, shipped_in, read_from, "-" * 78, body)


def write(kind, out_path):
    if kind == "repository":
        wanted = list(COMPONENTS)
        shipped = {c: "the Linux tarball or the Windows zip" for c in wanted}
    else:
        wanted = [c for c in COMPONENTS if any(c in parts for _, parts in FILES[kind])]
        shipped = {c: ", ".join(p.replace("\\", "") for p, parts in FILES[kind] if c in parts) for c in wanted}
    intro = ("Third-party notices for Vornhal: Zanthery (%s).\n\n" % kind +
             ("This package holds no third-party code or data: the presence server is built from this\n"
              "project's own sources alone.\n" if not wanted else
              "The programs ship with the components below. Each section gives the component, the files\n"
              "of this release that hold it, where its licence text was read, and that text unchanged.\n"
              "Full licence texts that a section only names follow at the end.\n"))
    parts = [intro]
    for name in wanted:
        title, source, _ = COMPONENTS[name]
        parts.append(section(title, shipped[name], source_line(source), licence_text(source)))
    for full in sorted({t for c in wanted for t in COMPONENTS[c][2]}):
        path = "/usr/share/common-licenses/" + full
        parts.append(section("The full text of " + full, "named above", "Debian 12 package base-files, " + path,
                             open(path, encoding="utf-8").read().strip("\n") + "\n"))
    with open(out_path, "w", encoding="utf-8", newline="\n") as out:
        out.write("\n".join(parts))


def sections_of(text):
    """Title -> body of each section of a notices file."""
    found = {}
    for chunk in text.split(RULE + "\n")[1:]:
        title, _, rest = chunk.partition("\n")
        _, _, body = rest.partition("-" * 78 + "\n")
        found.setdefault(title, []).append(body)
    return found


def check(kind, folder):
    """Problems found in an unpacked artefact; empty when it is sound."""
    names = sorted(os.path.relpath(os.path.join(d, f), folder).replace(os.sep, "/")
                   for d, _, files in os.walk(folder) for f in files)
    notices = [n for n in names if n.endswith(NOTICES_NAME)]
    if len(notices) != 1:
        return ["%d %s files, not one" % (len(notices), NOTICES_NAME)]
    wanted, unknown = components_of(kind, names)
    if wanted is None:
        return ["%s ships a file no component row covers: %s" % (kind, unknown)]
    with open(os.path.join(folder, notices[0]), encoding="utf-8") as source:
        found = sections_of(source.read().replace("\r\n", "\n"))
    problems = []
    expected = {COMPONENTS[c][0] for c in wanted}
    expected |= {"The full text of " + t for c in wanted for t in COMPONENTS[c][2]}
    for title in sorted(expected):
        bodies = found.get(title, [])
        if len(bodies) != 1:
            problems.append("%d sections for: %s" % (len(bodies), title))
        elif len([line for line in bodies[0].splitlines() if line.strip()]) < 5:
            problems.append("no licence text under: %s" % title)
    for title in sorted(set(found) - expected):
        problems.append("a section for a component not shipped: %s" % title)
    return problems


def main(argv):
    if len(argv) == 3 and argv[0] == "write":
        write(argv[1], argv[2])
        return 0
    if len(argv) == 3 and argv[0] == "check":
        problems = check(argv[1], argv[2])
        for problem in problems:
            print("notices: " + problem)
        if not problems:
            print("notices: %s: every shipped file has its sections, each with its licence" % argv[1])
        return 1 if problems else 0
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
