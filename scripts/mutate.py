#!/usr/bin/env python3
"""Mutation testing: how many small faults do the unit tests catch?

Each mutant is one small change to one source file (a flipped comparison, a swapped operator, a
nudged constant, a negated condition, one side of `&&` or `||` dropped, or a deleted statement). The tool applies it to a copy of the
sources (build/mutation/src), rebuilds only what changed in its own unoptimised build
(build/mutation/build), runs the test programs that cover the file and puts the file back. A mutant
is "killed" when a test fails or hangs and does so again when run once more (the failing test alone,
or the whole program when no test is named: a hang, a crash, an end-to-end test), "survived" when
every test passes,
and counted apart as "not compiled" when the build refuses it. A survivor runs once more in a
sanitizer build (build/mutation/build-sanitized), as the test command runs every test there too.
The score is killed / (killed + survived).

    python3 scripts/mutate.py                       every file in scope (about an hour)
    python3 scripts/mutate.py --changed [BASE]      files changed since BASE, or whose tests changed
    python3 scripts/mutate.py --library world       one library
    python3 scripts/mutate.py --files protocol/release_number.cpp --limit 10
    python3 scripts/mutate.py --list --library ui   print the mutants, build nothing

It writes build/mutation/report.md (scores per library and file, every survivor) and
build/mutation/results.json. Python 3 standard library only.
"""
import argparse
import fcntl
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import time
from dataclasses import asdict, dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
WORK = ROOT / "build" / "mutation"
COPY = WORK / "src"

# The files in scope and the test programs that cover each, run in this order; the first failure
# kills the mutant, so the program most likely to catch a fault goes first. "tests" names the test
# files aimed at the file: --changed picks the file again when one of them changes. End-to-end tests
# (ctest names) run only with --end-to-end, and only for files reached through them alone.
SCOPE = """
file                          | library  | programs                                    | tests                                        | end-to-end
world/movement.cpp            | world    | vz_pure_tests vz_client_tests vz_net_tests  | movement_test bot_walk_test                  |
world/movement.h              | world    | vz_pure_tests vz_client_tests vz_net_tests  | movement_test bot_walk_test                  |
world/body.h                  | world    | vz_pure_tests vz_client_tests vz_net_tests  | movement_test presence_protocol_test         |
world/room_geometry.cpp       | world    | vz_pure_tests vz_client_tests vz_net_tests  | geometry_test                                |
world/room_geometry.h         | world    | vz_pure_tests vz_client_tests vz_net_tests  | geometry_test movement_test                  |
world/scene_mesh.h            | world    | vz_pure_tests vz_client_tests vz_net_tests  | geometry_test                                |
ui/ui_mesh.cpp                | ui       | vz_pure_tests vz_client_tests               | ui_mesh_test                                 |
ui/ui_mesh.h                  | ui       | vz_pure_tests vz_client_tests               | ui_mesh_test font_atlas_test                 |
ui/widgets.cpp                | ui       | vz_pure_tests vz_client_tests               | menu_test ui_mesh_test                       |
ui/widgets.h                  | ui       | vz_pure_tests vz_client_tests               | menu_test ui_mesh_test                       |
ui/menu_screens.cpp           | ui       | vz_pure_tests vz_client_tests               | menu_test                                    |
ui/font_atlas.cpp             | ui       | vz_pure_tests vz_client_tests               | font_atlas_test ui_mesh_test                 |
ui/font_atlas.h               | ui       | vz_pure_tests vz_client_tests               | font_atlas_test ui_mesh_test                 |
protocol/messages.cpp         | protocol | vz_pure_tests vz_net_tests vz_client_tests  | presence_protocol_test presence_client_test  |
protocol/messages.h           | protocol | vz_pure_tests vz_net_tests vz_client_tests  | presence_protocol_test presence_client_test  |
protocol/remote_players.h     | protocol | vz_pure_tests vz_net_tests vz_client_tests  | presence_protocol_test presence_client_test  |
protocol/presence_session.cpp | protocol | vz_net_tests vz_pure_tests vz_client_tests  | presence_client_test presence_protocol_test  |
protocol/presence_session.h   | protocol | vz_net_tests vz_pure_tests vz_client_tests  | presence_client_test presence_protocol_test  |
protocol/roster_merge.cpp     | protocol | vz_pure_tests vz_net_tests vz_client_tests  | presence_protocol_test presence_client_test  |
protocol/address.cpp          | protocol | vz_pure_tests vz_net_tests vz_client_tests  | presence_protocol_test server_address_test   |
protocol/address.h            | protocol | vz_pure_tests vz_net_tests vz_client_tests  | presence_protocol_test server_address_test   |
protocol/peer_address.h       | protocol | vz_pure_tests vz_net_tests vz_client_tests  | presence_server_test presence_client_test    |
protocol/release_number.cpp   | protocol | vz_pure_tests vz_client_tests               | release_number_test                          |
protocol/release_number.h     | protocol | vz_pure_tests vz_client_tests               | release_number_test                          |
server/presence_server.cpp    | server   | vz_pure_tests vz_net_tests                  | presence_server_test                         |
server/presence_server.h      | server   | vz_pure_tests vz_net_tests                  | presence_server_test                         |
server/refusal_lines.cpp      | server   | vz_pure_tests                               | presence_server_test                         |
server/join_addresses.cpp     | server   | vz_pure_tests                               | presence_server_test                         |
render/camera.cpp             | render   | vz_client_tests                             | camera_test                                  |
render/camera.h               | render   | vz_client_tests                             | camera_test                                  |
render/adapter_choice.cpp     | render   | vz_client_tests                             | gpu_null_test                                |
app/app_state.cpp             | app      | vz_client_tests                             | app_state_test                               |
app/app_state.h               | app      | vz_client_tests                             | app_state_test player_control_test           |
app/player_control.cpp        | app      | vz_client_tests                             | player_control_test                          | play_end_to_end
app/settings.cpp              | app      | vz_client_tests                             | settings_test                                | presence_end_to_end
app/settings.h                | app      | vz_client_tests                             | settings_test                                |
app/accessibility_shortcuts.cpp | app    | vz_client_tests                             | accessibility_shortcuts_test                 |
"""

# Suites that test only libraries outside the scope, left out because no mutant can fail them: the
# floor generator's and decoder's everywhere (unoptimised, they take most of vz_pure_tests' time),
# the font check's for every library but ui, whose font baking it drives.
SUITES_OUTSIDE_SCOPE = ["Floor*", "MipChain*"]
SUITES_OF_UI_ONLY = ["FontCheck*"]


@dataclass
class ScopeRow:
    file: str
    library: str
    programs: list
    tests: list
    end_to_end: list


def read_scope():
    rows = []
    for line in SCOPE.strip().splitlines()[1:]:
        file, library, programs, tests, end_to_end = [cell.strip() for cell in line.split("|")]
        rows.append(ScopeRow(file, library, programs.split(), tests.split(), end_to_end.split()))
    return rows


# ---------------------------------------------------------------------------------------------------
# Finding mutants
# ---------------------------------------------------------------------------------------------------

@dataclass
class Mutant:
    file: str
    line: int
    start: int  # offsets into the file's text: text[start:end] becomes replacement
    end: int
    replacement: str
    kind: str  # comparison, arithmetic, constant, condition, operand, deletion
    change: str  # what a reader sees, e.g. "`<` to `<=`"
    mutated: str  # the line as the mutant reads


def blank_non_code(text):
    """The text with comments, string and character literals, preprocessor lines and static_asserts
    replaced by spaces (line ends kept), so that offsets and line numbers still match the original."""
    out = list(text)

    def blank(start, end):
        for i in range(start, end):
            if out[i] != "\n":
                out[i] = " "

    i, n = 0, len(text)
    line_start = True
    while i < n:
        c = text[i]
        if line_start and c in " \t":
            i += 1
            continue
        if line_start and c == "#":  # a preprocessor line, with its continuations
            end = i
            while end < n and (text[end] != "\n" or text[end - 1] == "\\"):
                end += 1
            blank(i, end)
            i = end
            continue
        line_start = c == "\n"
        if text.startswith("//", i):
            end = text.find("\n", i)
            end = n if end < 0 else end
            blank(i, end)
            i = end
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            blank(i, end)
            i = end
        elif c in "\"'":
            end = i + 1
            while end < n and text[end] != c:
                end += 2 if text[end] == "\\" else 1
            blank(i, end + 1)
            i = end + 1
        else:
            i += 1
    code = "".join(out)
    for match in re.finditer(r"\bstatic_assert\s*\(", code):
        end = matching_close(code, match.end() - 1)
        semicolon = code.find(";", end)
        blank(match.start(), semicolon + 1)
    return "".join(out)


def matching_close(code, open_at):
    """Offset of the bracket that closes the one at open_at."""
    pairs = {"(": ")", "[": "]", "{": "}"}
    opening, closing = code[open_at], pairs[code[open_at]]
    depth = 0
    for i in range(open_at, len(code)):
        if code[i] == opening:
            depth += 1
        elif code[i] == closing:
            depth -= 1
            if depth == 0:
                return i
    return len(code)


# "Type name" at the start of a statement: a declaration, whose array sizes and whose deletion
# would only break compilation.
DECLARATION = re.compile(r"^\s*(?:(?:static|const|constexpr|inline|extern|unsigned|signed|long|short)\s+)*"
                         r"[A-Za-z_][\w:]*(?:<[^;]*?>)?\s*[*&]*\s+[A-Za-z_]\w*\s*(?:[\[=;,{(]|$)")
NOT_TYPES = {"return", "else", "case", "goto", "delete", "throw", "new", "co_return"}


def is_declaration(statement):
    match = DECLARATION.match(statement)
    return bool(match) and statement.split()[0] not in NOT_TYPES


def declaration_sizes(code):
    """Offset ranges of array sizes in declarations ("float corners[8][3]", "uint8_t (&out)[N]")."""
    ranges = []
    for match in re.finditer(r"\[", code):
        start = max(code.rfind(";", 0, match.start()), code.rfind("{", 0, match.start()),
                    code.rfind("}", 0, match.start())) + 1
        statement = code[start:match.start()]
        if is_declaration(statement) and not re.search(r"(?<![=!<>])=(?!=)", statement):
            ranges.append((match.start(), matching_close(code, match.start())))
    return ranges


OPERATOR = re.compile(r"<<=|>>=|<<|>>|<=|>=|==|!=|->|\+\+|--|\+=|-=|\*=|/=|&&|\|\||[<>+\-*/]")
SWAPS = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "==",
         "+": "-", "-": "+", "*": "/", "/": "*", "+=": "-=", "-=": "+=", "*=": "/=", "/=": "*="}
NUMBER = re.compile(r"(?<![\w.])(0[xX][0-9a-fA-F]+|\d+\.\d*(?:[eE][+-]?\d+)?|\.\d+(?:[eE][+-]?\d+)?|"
                    r"\d+(?:[eE][+-]?\d+)?)([uUlLfF]*)(?![\w.])")


def nudged(number):
    """n to n + 1 for integers; times 1.1 for floats, 0 to 0.1."""
    if number.lower().startswith("0x"):
        return hex(int(number, 16) + 1)
    if not re.search(r"[.eE]", number):
        return str(int(number) + 1)
    value = float(number)
    text = "%.9g" % (value * 1.1 if value else 0.1)
    return text if re.search(r"[.e]", text) else text + ".0"


def find_mutants(file, text):
    code = blank_non_code(text)
    sizes = declaration_sizes(code)
    line_of = lambda offset: code.count("\n", 0, offset) + 1
    in_sizes = lambda offset: any(start <= offset <= end for start, end in sizes)
    mutants = []

    def add(start, end, replacement, kind, change):
        if not in_sizes(start):
            line_start = text.rfind("\n", 0, start) + 1
            line_end = text.find("\n", end)
            mutated = text[line_start:start] + replacement + text[end:line_end if line_end >= 0 else len(text)]
            mutants.append(Mutant(file, line_of(start), start, end, replacement, kind, change, one_line(mutated, 110)))

    # Binary operators, written with a space on both sides as the code's style writes every one of
    # them; pointers, dereferences, unary minus and templates never are.
    for match in OPERATOR.finditer(code):
        op, start, end = match.group(), match.start(), match.end()
        if op in SWAPS and code[start - 1:start].isspace() and code[end:end + 1].isspace():
            kind = "comparison" if op in ("<", "<=", ">", ">=", "==", "!=") else "arithmetic"
            add(start, end, SWAPS[op], kind, f"`{op}` to `{SWAPS[op]}`")

    for match in NUMBER.finditer(code):
        number, suffix = match.group(1), match.group(2)
        if "f" in suffix.lower() and not re.search(r"[.eE]", number):
            continue
        new = nudged(number) + suffix
        add(match.start(), match.end(), new, "constant", f"`{match.group()}` to `{new}`")

    for match in re.finditer(r"\bif\s*\(", code):
        open_at = match.end() - 1
        close_at = matching_close(code, open_at)
        condition = text[open_at + 1:close_at]
        add(open_at + 1, close_at, f"!({condition})", "condition", f"`if ({one_line(condition)})` negated")

    for start, end, kept, dropped in logical_operands(code, text):
        add(start, end, "", "operand", f"`{one_line(text[dropped[0]:dropped[1]])}` dropped, keeping "
            f"`{one_line(text[kept[0]:kept[1]])}`")

    for start, end, what in deletable_statements(code):
        # A break before the switch's end or an empty default changes nothing.
        if what == "break" and re.match(r"\s*(?:default\s*:\s*break\s*;|\})", code[end:]):
            continue
        add(start, end, ";", "deletion", f"{what} `{one_line(text[start:end])}` deleted")

    mutants.sort(key=lambda m: (m.start, m.kind))
    return mutants


def operand_span(code, at, step, operator):
    """Where the operand of `operator` that lies from offset at in direction step (-1 leftwards, 1
    rightwards) begins or ends: at the bracket around it, or at an operator that binds no tighter
    (`||` binds looser than `&&`, so a `||` operand spans `&&`). Returns the offset just beyond it."""
    bounds = ("||", "?", ",", ";", "{", "}", "return") + (("&&",) if operator == "&&" else ())
    depth, i = 0, at
    while 0 <= i < len(code):
        c = code[i]
        if c in "([" if step < 0 else c in ")]":
            if depth == 0:
                return i - step
            depth -= 1
        elif c in ")]" if step < 0 else c in "([":
            depth += 1
        elif depth == 0:
            two = code[i - 1:i + 1] if step < 0 else code[i:i + 2]
            word = step < 0 and re.match(r"\Wreturn$", code[i - 6:i + 1])
            single_colon = c == ":" and ":" not in (code[i - 1], code[i + 1:i + 2])
            assignment = c == "=" and code[i - 1] not in "=!<>" and code[i + 1:i + 2] != "="
            if two in bounds or c in bounds or word or single_colon or assignment:
                return i - step
        i += step
    return i - step


def logical_operands(code, text):
    """(start, end, kept span, dropped span) for each operand of a `&&` or `||` written with a space
    on both sides: dropping it keeps the other operand alone. Found in the code with its literals
    blanked, trimmed by the text (a blanked '0' is no space)."""
    found, results = [], set()  # in a chain (a && b && c) two cuts may leave the same text
    for match in re.finditer(r"(?<=\s)(&&|\|\|)(?=\s)", code):
        operator = match.group()
        left_start = operand_span(code, match.start() - 1, -1, operator)
        right_end = operand_span(code, match.end(), 1, operator) + 1
        while text[left_start].isspace():
            left_start += 1
        while text[right_end - 1].isspace():
            right_end -= 1
        left_end = match.start()
        while text[left_end - 1].isspace():
            left_end -= 1
        right_start = match.end()
        while text[right_start].isspace():
            right_start += 1
        if left_start >= left_end or right_start >= right_end:
            continue
        for cut in [(left_start, right_start, (right_start, right_end), (left_start, left_end)),
                    (left_end, right_end, (left_start, left_end), (right_start, right_end))]:
            result = hash(text[:cut[0]] + text[cut[1]:])
            if result not in results:
                results.add(result)
                found.append(cut)
    return found


def one_line(text, width=70):
    text = " ".join(text.split())
    return text if len(text) <= width else text[:width - 3] + "..."


def deletable_statements(code):
    """(start, end, what) of each whole one-line statement that is a return, break, continue,
    assignment or call: a line of its own, the body after an if, for, while, else or case label on
    the same line, or a one-line function's body."""
    control = re.compile(r"(?:\}\s*)?(?:else\s+)?(?:if|for|while)\s*\(")
    label = re.compile(r"(?:case\b.*?|default\s*)(?<!:):(?!:)\s*")
    function_body = re.compile(r"\)\s*(?:const\s*)?\{\s*(.*;)\s*\}$")
    found = []
    offset = 0
    depth = 0  # parentheses open at the start of the line
    statement_may_start = True  # the line before ended a statement, a block's start or end, or a label
    header_open = False  # inside a control header that spans lines
    for line in code.split("\n"):
        stripped = line.strip()
        begin = offset + len(line) - len(line.lstrip())
        candidate = None
        if depth == 0 and stripped:
            is_control = control.match(stripped)
            is_label = label.match(stripped)
            body = function_body.search(stripped)
            if is_control:
                close_at = matching_close(stripped, is_control.end() - 1)
                if close_at < len(stripped):
                    candidate = (close_at + 1, stripped[close_at + 1:])
                else:
                    header_open = True
            elif stripped.startswith("else "):
                candidate = (5, stripped[5:])
            elif is_label:
                candidate = (is_label.end(), stripped[is_label.end():])
            elif body:
                candidate = (body.start(1), body.group(1))
            elif statement_may_start:
                candidate = (0, stripped)
        if candidate:
            at, statement = candidate
            at += len(statement) - len(statement.lstrip())
            statement = statement.strip()
            what = statement_kind(statement)
            if what:
                found.append((begin + at, begin + at + len(statement), what))
        depth += line.count("(") - line.count(")")
        if stripped:
            ends_header = header_open and depth == 0
            if depth == 0:
                header_open = False
            statement_may_start = depth == 0 and (stripped[-1] in ";{}:" or (ends_header and stripped[-1] == ")"))
        offset += len(line) + 1
    return found


def statement_kind(statement):
    if not statement.endswith(";") or statement.count(";") != 1 or "{" in statement:
        return None
    if statement.count("(") != statement.count(")"):
        return None
    if re.match(r"return\b", statement):
        return "return"
    if statement in ("break;", "continue;"):
        return statement[:-1]
    if is_declaration(statement):
        return None
    if re.match(r"(\+\+|--)[\w.\[\]]+;$|[\w.\[\]>-]+(\+\+|--);$", statement):
        return "assignment"
    outside = statement  # the statement with every parenthesised part taken out
    while re.search(r"\([^()]*\)", outside):
        outside = re.sub(r"\([^()]*\)", "", outside)
    if re.search(r"(?<![=!<>+\-*/])[+\-*/%&|^]?=(?!=)", outside):
        return "assignment"
    if re.match(r"[\w:.\[\]>-]+\s*\(.*\)\s*;$", statement):
        return "call"
    return None


# ---------------------------------------------------------------------------------------------------
# Building and testing the copy
# ---------------------------------------------------------------------------------------------------

def log(message):
    print(message, flush=True)


def sync_copy():
    """Brings the copy in line with the work tree, writing only files that differ, so the build stays
    incremental. This also puts back any file an interrupted run left mutated."""
    listed = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=ROOT, check=True,
                            capture_output=True).stdout.decode().split("\0")
    for name in filter(None, listed):
        source, target = ROOT / name, COPY / name
        if not source.is_file():
            continue
        data = source.read_bytes()
        if not target.is_file() or target.read_bytes() != data:
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_bytes(data)
            shutil.copymode(source, target)


@dataclass
class Build:
    """One configured build of the copy: the plain one every mutant runs in, and the one with
    AddressSanitizer and UndefinedBehaviorSanitizer that survivors run in once more, as the test
    command runs every test in a sanitizer build too."""
    folder: Path
    sanitize: bool
    # The test command's settings for sanitizer runs (scripts/test.sh).
    environment = {"ASAN_OPTIONS": "detect_leaks=0:abort_on_error=1:max_malloc_fill_size=1000000:malloc_fill_byte=190",
                   "UBSAN_OPTIONS": "print_stacktrace=1:halt_on_error=1"}

    def configure(self):
        # The same dependencies as scripts/build.sh, from the same pinned versions.
        paths = subprocess.run(["bash", "-c", 'source scripts/versions.sh && bash scripts/setup.sh >&2 && echo '
                                '"$VZ_CACHE/sdl3-$SDL3_VERSION;$VZ_CACHE/dawn-$DAWN_NPM_VERSION/lib;'
                                '$VZ_CACHE/stb-$STB_DEBIAN_VERSION/include"'],
                               cwd=COPY, check=True, capture_output=True, text=True).stdout.strip().split(";")
        # Unoptimised and without debug information, so a mutant recompiles and links quickly. A
        # mutant that lets a function end without its return is refused: the compiler warns of it
        # anyway, and unoptimised code often returns the right value by luck.
        flags = "-O0 -Werror=return-type"
        subprocess.run(["cmake", "-S", str(COPY), "-B", str(self.folder), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug",
                        f"-DCMAKE_CXX_FLAGS_DEBUG={flags}", f"-DCMAKE_C_FLAGS_DEBUG={flags}",
                        "-DVZ_TESTS=ON", "-DVZ_BENCHMARKS=OFF", f"-DVZ_SANITIZE={'ON' if self.sanitize else 'OFF'}",
                        f"-DCMAKE_PREFIX_PATH={paths[0]}", f"-DVZ_DAWN_DIR={paths[1]}",
                        f"-DVZ_STB_INCLUDE_DIR={paths[2]}"], check=True, stdout=subprocess.DEVNULL)

    def build(self, program, jobs):
        """True when the program and what it runs built."""
        targets = [program] if program.startswith("vz_") else ["all"]  # end-to-end tests use every program
        result = subprocess.run(["ninja", "-C", str(self.folder), f"-j{jobs}", *targets], capture_output=True)
        return result.returncode == 0

    def run(self, program, timeout, library=None, only_test=None, passed_over=()):
        """Runs program for a mutant of library (None: of any library), or only one of its tests, in a
        process group of its own (the network tests start servers and bots), killing the whole group
        when it outlives timeout. passed_over names single tests to leave out. (exit code, or None on
        timeout; output)"""
        if program.startswith("vz_"):
            skipped = SUITES_OUTSIDE_SCOPE + (SUITES_OF_UI_ONLY if library not in (None, "ui") else [])
            skipped = skipped + list(passed_over)
            chosen = only_test or "-" + ":".join(skipped)
            command = [str(self.folder / program), "--gtest_brief=1", "--gtest_fail_fast", f"--gtest_filter={chosen}"]
        else:
            # A name the build does not define must fail, not pass on no test at all.
            command = ["ctest", "--test-dir", str(self.folder), "-R", f"^{program}$", "--no-tests=error",
                       "--output-on-failure"]
        environment = {**os.environ, **(self.environment if self.sanitize else {})}
        process = subprocess.Popen(command, cwd=self.folder, env=environment, stdout=subprocess.PIPE,
                                   stderr=subprocess.STDOUT, text=True, errors="replace", start_new_session=True)
        try:
            output, _ = process.communicate(timeout=timeout)
            return process.returncode, output
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            process.communicate()
            return None, ""


BUILDS = [Build(WORK / "build", sanitize=False), Build(WORK / "build-sanitized", sanitize=True)]


def first_failure(output):
    match = re.search(r"\[  FAILED  \] (\S+)", output)
    return match.group(1) if match else ""


# ---------------------------------------------------------------------------------------------------
# Running mutants
# ---------------------------------------------------------------------------------------------------

def programs_for(row, end_to_end, build):
    # The end-to-end tests measure real time, so the project defines them in the plain build only.
    return row.programs + (row.end_to_end if end_to_end and not build.sanitize else [])


def measure_baseline(rows, args):
    """Builds the unmutated copy in both builds, checks that every program passes and sets each one's
    timeout: {(build folder, program): seconds}."""
    timeouts = {}
    for build in BUILDS:
        build.configure()
        programs = []
        for row in rows:
            programs += [p for p in programs_for(row, args.end_to_end, build) if p not in programs]
        for program in programs:
            log(f"baseline: building {program} in {build.folder.relative_to(ROOT)}")
            if not build.build(program, args.jobs):
                sys.exit(f"the unmutated sources do not build; see ninja -C {build.folder}")
            began = time.monotonic()
            code, output = build.run(program, 900)
            seconds = time.monotonic() - began
            if code != 0:
                sys.exit(f"{program} fails in {build.folder} before any mutation:\n{output[-3000:]}")
            timeouts[build.folder, program] = max(30.0, 5 * seconds)  # a loaded machine runs slower
            log(f"baseline: {program} passes in {seconds:.1f} s (timeout {timeouts[build.folder, program]:.0f} s)")
    return timeouts


def run_mutant(mutant, original, row, args, timeouts):
    """(status, killer, seconds spent building): status is killed, survived or not compiled. A mutant
    every test lets through in the plain build runs once more in the sanitizer build."""
    path = COPY / mutant.file
    path.write_text(original[:mutant.start] + mutant.replacement + original[mutant.end:], encoding="utf-8")
    building = 0.0
    try:
        for build in BUILDS:
            for program in programs_for(row, args.end_to_end, build):
                began = time.monotonic()
                built = build.build(program, args.jobs)
                building += time.monotonic() - began
                if not built:
                    return "not compiled", "", building
                timeout = timeouts[build.folder, program]
                where = " under the sanitizers" if build.sanitize else ""
                passed_over = []
                while True:
                    code, output = build.run(program, timeout, row.library, passed_over=passed_over)
                    if code == 0:
                        break
                    failed = first_failure(output)
                    how = failed or ("(timed out)" if code is None else f"(exit code {code})")
                    # Every failure must happen again before it counts: the failing test alone, or,
                    # when no test is named (a hang, a crash, an end-to-end test), the same run. A test
                    # that fails by chance, or a load spike past the timeout, kills nothing. The
                    # program's remaining tests then run without that test, since the first failure
                    # stops the run (a mutant that leaves a value unset fails by chance in one test
                    # and for certain in another).
                    if failed:
                        again = build.run(program, timeout, row.library, failed)[0]
                    else:
                        again = build.run(program, timeout, row.library, passed_over=passed_over)[0]
                    if again != 0:
                        return "killed", f"{program} {how}{where}", building
                    log(f"  {program} {how} failed once and then passed: not counted")
                    if failed and program.startswith("vz_") and len(passed_over) < 3:
                        passed_over.append(failed)
                        continue
                    break
        return "survived", "", building
    finally:
        path.write_text(original, encoding="utf-8")


def spread(mutants, limit):
    """At most limit mutants, taken evenly across the file."""
    if not limit or len(mutants) <= limit:
        return mutants
    return [mutants[i * len(mutants) // limit] for i in range(limit)]


def changed_scope_files(base, rows):
    def git(*command):
        return subprocess.run(["git", *command], cwd=ROOT, capture_output=True, text=True)
    if base is None:
        base = "origin/main" if git("rev-parse", "--verify", "-q", "origin/main").returncode == 0 else "main"
    merge_base = git("merge-base", base, "HEAD").stdout.strip()
    if not merge_base:
        sys.exit(f"no common history with {base}")
    changed = set(git("diff", "--name-only", merge_base).stdout.split())
    changed |= set(git("ls-files", "--others", "--exclude-standard").stdout.split())
    log(f"changed since {base} ({merge_base[:10]}): {len(changed)} files")
    return [row for row in rows
            if row.file in changed or any(f"tests/{test}.cpp" in changed for test in row.tests)], changed


def select_rows(args):
    rows = read_scope()
    # The product's C++ files the run was asked about: those changed, those of the libraries named.
    asked = set(subprocess.run(["git", "ls-files", "*.cpp", "*.h"], cwd=ROOT, capture_output=True,
                               text=True).stdout.split())
    if args.changed is not None:
        rows, changed = changed_scope_files(args.changed or None, rows)
        asked &= changed
    if args.library:
        rows = [row for row in rows if row.library in args.library]
        asked = {f for f in asked if f.split("/")[0] in args.library}
    if args.changed is not None or args.library:
        skipped = sorted(f for f in asked - {row.file for row in read_scope()} if not f.startswith("tests/"))
        log(f"out of scope, not mutated ({len(skipped)}): {' '.join(skipped) or 'none'}")
    if args.files:
        unknown = set(args.files) - {row.file for row in rows}
        if unknown:
            sys.exit(f"not in scope: {' '.join(sorted(unknown))} (see the table at the top of {__file__})")
        rows = [row for row in rows if row.file in args.files]
    return rows


# ---------------------------------------------------------------------------------------------------
# Report
# ---------------------------------------------------------------------------------------------------

def score_line(name, results, mutants_found, files=None):
    """A table row; a library's names the files in scope beside its score, which is theirs alone."""
    killed = sum(r["status"] == "killed" for r in results)
    survived = sum(r["status"] == "survived" for r in results)
    broken = sum(r["status"] == "not compiled" for r in results)
    score = f"{100 * killed / (killed + survived):.1f} %" if killed + survived else "-"
    listed = files if isinstance(files, str) else ", ".join(f"`{f}`" for f in files or [])
    in_scope = "" if files is None else f" {listed or '-'} |"
    return f"| {name} |{in_scope} {mutants_found} | {killed} | {survived} | {broken} | {score} |"


def describe(mutant):
    """The change, and for all but deletions the line as the mutant reads."""
    if mutant["kind"] == "deletion":
        return mutant["change"]
    return f"{mutant['change']}: `{mutant['mutated']}`"


def write_report(results, rows, found, command, seconds):
    head = "| {} | mutants | killed | survived | not compiled | score |\n|---|---|---|---|---|---|"
    lines = ["# Mutation report", "",
             f"`{command}`: {len(results)} mutants run in {seconds / 60:.0f} minutes "
             f"(commit {git_commit()}).", "", "## Per library", "",
             head.format("library | files in scope") + "---|"]
    libraries = sorted({row.library for row in rows}, key=[r.library for r in read_scope()].index)
    for library in libraries:
        files = [row.file for row in rows if row.library == library]
        lines.append(score_line(library, [r for r in results if r["file"] in files],
                                sum(found[f] for f in files), files))
    lines.append(score_line("**all**", results, sum(found.values()), f"the {len(rows)} above"))
    lines += ["", "## Per file", "", head.format("file")]
    for row in rows:
        if not found[row.file]:
            continue
        lines.append(score_line(f"`{row.file}`", [r for r in results if r["file"] == row.file], found[row.file]))
    lines += ["", "## Survivors", ""]
    survivors = [r for r in results if r["status"] == "survived"]
    for r in survivors:
        lines.append(f"- `{r['file']}:{r['line']}` {describe(r)}")
    if not survivors:
        lines.append("None.")
    report = WORK / "report.md"
    report.write_text("\n".join(lines) + "\n")
    (WORK / "results.json").write_text(json.dumps(results, indent=1) + "\n")
    log(f"report: {report}")
    print("\n".join(lines[:lines.index("## Per file")]))


def git_commit():
    return subprocess.run(["git", "rev-parse", "--short", "HEAD"], cwd=ROOT, capture_output=True,
                          text=True).stdout.strip()


# ---------------------------------------------------------------------------------------------------

def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--changed", nargs="?", const="", metavar="BASE",
                        help="only files in scope changed since BASE (default origin/main, else main), "
                             "or whose test files changed; uncommitted changes count")
    parser.add_argument("--files", nargs="+", metavar="FILE", help="only these files (paths as in the table)")
    parser.add_argument("--library", nargs="+", metavar="NAME", help="only these libraries")
    parser.add_argument("--limit", type=int, default=0, metavar="N", help="at most N mutants per file, spread evenly")
    parser.add_argument("--jobs", type=int, default=2, metavar="N", help="parallel build jobs (default 2)")
    parser.add_argument("--end-to-end", action="store_true",
                        help="also run the end-to-end tests named in the table (minutes each)")
    parser.add_argument("--list", action="store_true", help="list the mutants and build nothing")
    args = parser.parse_args()

    rows = select_rows(args)
    if not rows:
        log("no file in scope to mutate")
        return
    every = {row.file: find_mutants(row.file, (ROOT / row.file).read_text(encoding="utf-8")) for row in rows}
    mutants = {file: spread(found_in_file, args.limit) for file, found_in_file in every.items()}
    found = {file: len(found_in_file) for file, found_in_file in mutants.items()}
    if args.list:
        for row in rows:
            for m in mutants[row.file]:
                print(f"{m.file}:{m.line}: {describe(asdict(m))}")
        print(f"{sum(map(len, mutants.values()))} mutants in {len(rows)} files")
        return

    WORK.mkdir(parents=True, exist_ok=True)
    lock = open(WORK / "lock", "w")
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        sys.exit("another mutation run is using build/mutation")

    began = time.monotonic()
    sync_copy()
    timeouts = measure_baseline(rows, args)
    total = sum(map(len, mutants.values()))
    results, done = [], 0
    try:
        for row in rows:
            original = (COPY / row.file).read_text(encoding="utf-8")
            for mutant in mutants[row.file]:
                done += 1
                started = time.monotonic()
                status, killer, building = run_mutant(mutant, original, row, args, timeouts)
                results.append({**asdict(mutant), "library": row.library, "status": status, "killer": killer})
                log(f"[{done}/{total}] {mutant.file}:{mutant.line} {mutant.change}: {status} {killer} "
                    f"({time.monotonic() - started:.0f} s, {building:.0f} s of it building)")
    except KeyboardInterrupt:
        log("interrupted: reporting the mutants run so far")
    finally:
        sync_copy()
    write_report(results, rows, found, " ".join(["python3 scripts/mutate.py", *sys.argv[1:]]),
                 time.monotonic() - began)


if __name__ == "__main__":
    main()
