#!/usr/bin/env python3
"""Proves the rules that keep the architecture apart, from what the compiler and linker really saw.

Reads a build tree: each object's dependency file (every header the compiler opened, transitively)
and each target's link line. Every file of the source tree the compiler opened belongs to a layer
by its folder (LAYERS), and each source file is held to its own layer's rules, also in a target
that mixes layers; a target's link line to the rules of every layer among its objects (a target
that holds tests: to theirs alone). Exit 0 when every rule holds; exit 1 naming each violation.

  the plug-in      src/, include/               never includes or links the simulator, the tools
                                                or the tests
  the stand-ins    standins/                    never include or link the plug-in or the call kit
  the probe        tools/mpio-probe/            knows the plug-in only through its header and dlopen
  the call kit     tools/plugin_calls/,         knows the plug-in only through its header and
                   tools/plugin_loader/         dlopen; never includes the probe
  the simulator    sim/                         never includes or links the plug-in or the call kit
  shared headers   common/                      include no other layer
  the tests        tests/, bench/, fuzz/        may use every layer; they alone include
                                                linked_entry_points.h (its users link the plug-in in)

A file of the source tree in no layer is a violation too: a new folder gets its layer here.

usage: check_layers.py BUILD_DIR SOURCE_DIR
"""
import os
import re
import sys

PLUGIN_HEADER = "include/TsMPIO_HDLM.h"
LINKED_ENTRY_POINTS = "tools/plugin_calls/linked_entry_points.h"

# Folder (or file) prefixes and their layers; the first that matches wins.
LAYERS = [
    ("src/", "plug-in"),
    ("include/", "plug-in"),
    ("standins/", "stand-ins"),
    ("tools/mpio-probe/", "probe"),
    ("tools/plugin_calls/", "call kit"),
    ("tools/plugin_loader/", "call kit"),
    ("sim/", "simulator"),
    ("common/", "shared headers"),
    ("tests/", "tests"),
    ("bench/", "tests"),
    ("fuzz/", "tests"),
]

# How a violation names a layer that does something.
WHO = {
    "plug-in": "the plug-in",
    "stand-ins": "a stand-in",
    "probe": "the probe",
    "call kit": "the call kit",
    "simulator": "the simulator",
    "shared headers": "a shared header",
    "tests": "a test",
}

# The layers whose files each layer may not include.
NO_INCLUDE = {
    "plug-in": {"simulator", "probe", "call kit", "tests"},
    "stand-ins": {"plug-in", "call kit"},
    "probe": {"plug-in"},
    "call kit": {"plug-in", "probe"},
    "simulator": {"plug-in", "call kit"},
    "shared headers": {"plug-in", "stand-ins", "probe", "call kit", "simulator", "tests"},
    "tests": set(),
}
# Layers that know the plug-in through its header: they may include that one file of it.
THROUGH_HEADER = {"probe", "call kit"}

# Libraries by file name, and the layer each belongs to.
LIBRARIES = [
    (re.compile(r"libTsMPIO_HDLM\w*\.(so|a)$"), "plug-in"),
    (re.compile(r"libhdlm_sim\w*\.a$"), "simulator"),
    (re.compile(r"libmpio_probe\w*\.a$"), "probe"),
    (re.compile(r"libplugin_(calls|loader)\.a$"), "call kit"),
]

# The layers whose libraries a target of each layer may not link.
NO_LINK = {
    "plug-in": {"simulator", "probe", "call kit"},
    "stand-ins": {"plug-in", "call kit"},
    "probe": {"plug-in"},
    "call kit": {"plug-in"},
    "simulator": {"plug-in", "call kit"},
    "shared headers": {"plug-in", "call kit"},
    "tests": set(),
}


def layer_of(rel):
    """The layer a file of the source tree belongs to, by its folder; None: it has none."""
    for prefix, layer in LAYERS:
        if rel.startswith(prefix):
            return layer
    return None


def library_layer(path):
    base = os.path.basename(path.strip('"'))
    for pattern, layer in LIBRARIES:
        if pattern.match(base):
            return layer
    return None


def include_violation(layer, rel):
    """What is wrong with a file of `layer` including the file `rel`, or None."""
    if rel == LINKED_ENTRY_POINTS and layer != "tests":
        return f"{WHO[layer]} includes {rel}, which only tests, benchmarks and fuzzers may"
    dep_layer = layer_of(rel)
    if dep_layer not in NO_INCLUDE[layer]:
        return None
    if dep_layer == "plug-in" and layer in THROUGH_HEADER:
        if rel == PLUGIN_HEADER:
            return None
        return f"{WHO[layer]} includes the plug-in beyond its header"
    return f"{WHO[layer]} includes the {dep_layer}"


def read_depfile(path):
    """(source, [dependencies]) of one make-style dependency file, paths as written."""
    with open(path, encoding="utf-8", errors="replace") as f:
        text = f.read().replace("\\\n", " ")
    first = text.split("\n", 1)[0]
    if ":" not in first:
        return None, []
    deps = first.split(":", 1)[1].split()
    return (deps[0] if deps else None), deps[1:]


def relative_to_source(path, cwd, source_dir, build_dir):
    """The path relative to the source tree, or None when it lies outside it (system headers) or
    in the build tree (generated files)."""
    full = os.path.normpath(os.path.join(cwd, path))
    if full == build_dir or full.startswith(build_dir + os.sep):
        return None
    rel = os.path.relpath(full, source_dir)
    return None if rel.startswith("..") else rel


def target_dirs(build_dir):
    """Every CMakeFiles/<target>.dir folder of the build tree, with the folder the tools ran in."""
    for root, dirs, _ in os.walk(build_dir):
        if os.path.basename(root) == "CMakeFiles":
            for d in dirs:
                if d.endswith(".dir"):
                    yield os.path.join(root, d), os.path.dirname(root)
            dirs[:] = [d for d in dirs if d.endswith(".dir")]


def check(build_dir, source_dir):
    """(number of targets with sources of the tree, [violations])."""
    source_dir = os.path.realpath(source_dir)
    build_dir = os.path.realpath(build_dir)
    violations = set()
    targets_seen = 0
    for tdir, cwd in target_dirs(build_dir):
        layers = set()
        has_source = False
        for root, _, files in os.walk(tdir):
            for name in files:
                if not name.endswith(".o.d"):
                    continue
                source, deps = read_depfile(os.path.join(root, name))
                src_rel = source and relative_to_source(source, cwd, source_dir, build_dir)
                if not src_rel:
                    continue
                has_source = True
                layer = layer_of(src_rel)
                if not layer:
                    violations.add(f"{src_rel} lies in no layer: give its folder one in LAYERS")
                    continue
                layers.add(layer)
                for dep in deps:
                    rel = relative_to_source(dep, cwd, source_dir, build_dir)
                    if rel is None:
                        continue
                    if layer_of(rel) is None:
                        violations.add(f"{rel} lies in no layer: give its folder one in LAYERS "
                                       f"(included by {src_rel})")
                        continue
                    bad = include_violation(layer, rel)
                    if bad:
                        violations.add(f"{bad}: {src_rel} includes {rel}")
        if has_source:
            targets_seen += 1
        link = os.path.join(tdir, "link.txt")
        if not os.path.exists(link):
            continue
        with open(link, encoding="utf-8") as f:
            words = f.read().split()
        target = os.path.basename(tdir)[: -len(".dir")]
        # A target that holds tests is theirs (what else it compiles in is under test); any
        # other target answers to every layer among its objects.
        link_layers = {"tests"} if "tests" in layers else layers
        for w in words:
            lib_layer = library_layer(w)
            for layer in sorted(link_layers):
                if lib_layer in NO_LINK[layer]:
                    violations.add(
                        f"{WHO[layer]} links the {lib_layer}: target {target} links {w}")
    return targets_seen, sorted(violations)


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    seen, violations = check(sys.argv[1], sys.argv[2])
    if seen == 0:
        print(f"check_layers: no built objects of this source tree under {sys.argv[1]}; build "
              f"first (make build)", file=sys.stderr)
        return 2
    for v in violations:
        print("layering violation: " + v)
    if violations:
        print(f"check_layers: {len(violations)} violation(s); move the code to the layer that owns it",
              file=sys.stderr)
        return 1
    print(f"check_layers: {seen} targets, every rule holds")
    return 0


if __name__ == "__main__":
    sys.exit(main())
