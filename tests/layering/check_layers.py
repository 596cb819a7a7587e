#!/usr/bin/env python3
"""Proves the rules that keep the architecture apart, from what the compiler and linker really saw.

Reads a build tree: each object's dependency file (every header the compiler opened, transitively)
and each target's link line. Exit 0 when every rule holds; exit 1 naming each violation.

  the plug-in      src/, include/TsMPIO_HDLM.h   never includes or links the simulator or the tools
  the stand-ins    standins/                      never include or link the plug-in
  the probe        tools/mpio-probe/             knows the plug-in only through its header and dlopen
  the simulator    sim/                          never links (or includes) the plug-in

usage: check_layers.py BUILD_DIR SOURCE_DIR
"""
import os
import re
import sys

PLUGIN_HEADER = "include/TsMPIO_HDLM.h"
PLUGIN_LIBRARY = "libTsMPIO_HDLM.so"


def layer_of(rel):
    """The layer a source file belongs to, by where it lies in the tree (None: tests, bench, ...)."""
    if rel.startswith("src/") or rel == PLUGIN_HEADER:
        return "plug-in"
    if rel.startswith("standins/"):
        return "stand-ins"
    if rel.startswith("tools/mpio-probe/"):
        return "probe"
    if rel.startswith("sim/"):
        return "simulator"
    return None


def read_depfile(path):
    """(source, [dependencies]) of one make-style dependency file, paths as written."""
    with open(path, encoding="utf-8", errors="replace") as f:
        text = f.read().replace("\\\n", " ")
    first = text.split("\n", 1)[0]
    if ":" not in first:
        return None, []
    deps = first.split(":", 1)[1].split()
    return (deps[0] if deps else None), deps[1:]


def relative_to_source(path, cwd, source_dir):
    """The path relative to the source tree, or None when it lies outside it (system headers)."""
    full = os.path.normpath(os.path.join(cwd, path))
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
    source_dir = os.path.realpath(source_dir)
    violations = []
    targets_seen = 0
    for tdir, cwd in target_dirs(build_dir):
        layers = set()
        for root, _, files in os.walk(tdir):
            for name in files:
                if not name.endswith(".o.d"):
                    continue
                source, deps = read_depfile(os.path.join(root, name))
                src_rel = source and relative_to_source(source, cwd, source_dir)
                layer = src_rel and layer_of(src_rel)
                if not layer:
                    continue
                layers.add(layer)
                for dep in deps:
                    rel = relative_to_source(dep, cwd, source_dir)
                    if rel is None:
                        continue
                    dep_layer = layer_of(rel)
                    bad = None
                    if layer == "plug-in" and dep_layer in ("simulator", "probe"):
                        bad = "the plug-in includes the " + dep_layer
                    elif layer == "stand-ins" and dep_layer == "plug-in":
                        bad = "a stand-in includes the plug-in"
                    elif layer == "probe" and dep_layer == "plug-in" and rel != PLUGIN_HEADER:
                        bad = "the probe includes the plug-in beyond its header"
                    elif layer == "simulator" and dep_layer == "plug-in":
                        bad = "the simulator includes the plug-in"
                    if bad:
                        violations.append(f"{bad}: {src_rel} includes {rel}")
        if len(layers) != 1:
            continue
        targets_seen += 1
        layer = layers.pop()
        link = os.path.join(tdir, "link.txt")
        if not os.path.exists(link):
            continue
        with open(link, encoding="utf-8") as f:
            words = f.read().split()
        target = os.path.basename(tdir)[: -len(".dir")]
        for w in words:
            base = os.path.basename(w.strip('"'))
            if layer != "plug-in" and base == PLUGIN_LIBRARY:
                who = {"stand-ins": "a stand-in", "probe": "the probe", "simulator": "the simulator"}
                violations.append(f"{who[layer]} links the plug-in: target {target} links {w}")
            if layer == "plug-in" and re.match(r"lib(hdlm_sim|mpio_probe|plugin_loader)", base):
                violations.append(f"the plug-in links a tool: target {target} links {w}")
    return targets_seen, violations


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    seen, violations = check(sys.argv[1], sys.argv[2])
    if seen == 0:
        print(f"check_layers: no built objects of the plug-in, stand-ins, probe or simulator under "
              f"{sys.argv[1]}; build first (make build)", file=sys.stderr)
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
