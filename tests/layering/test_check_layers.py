#!/usr/bin/env python3
"""The layering check passes on the real build tree and fails on each planted violation.

usage: test_check_layers.py BUILD_DIR SOURCE_DIR
"""
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_layers  # noqa: E402

BUILD_DIR, SOURCE_DIR = sys.argv[1], sys.argv[2]

# (what is planted: the object's source, a header it includes, a library its target links;
#  the text the check must report, or None where the tree is sound)
CASES = [
    ("src/TsMPIO_HDLM.cpp", "sim/model/topology.h", None, "the plug-in includes the simulator"),
    ("src/TsMPIO_HDLM.cpp", "tools/mpio-probe/loader.h", None, "the plug-in includes the probe"),
    ("src/TsMPIO_HDLM.cpp", None, "lib/static/libhdlm_sim_core.a", "the plug-in links the simulator"),
    ("standins/tslib/shell_spawn.cpp", "include/TsMPIO_HDLM.h", None, "a stand-in includes the plug-in"),
    ("standins/kpartx/open_disk.cpp", None, "lib/libTsMPIO_HDLM.so", "a stand-in links the plug-in"),
    ("tools/mpio-probe/main.cpp", "src/internal.h", None, "the probe includes the plug-in beyond"),
    ("tools/mpio-probe/main.cpp", None, "lib/libTsMPIO_HDLM.so", "the probe links the plug-in"),
    ("sim/main.cpp", "include/TsMPIO_HDLM.h", None, "the simulator includes the plug-in"),
    ("sim/main.cpp", None, "lib/libTsMPIO_HDLM.so", "the simulator links the plug-in"),
    # The call kit: the plug-in through its header and dlopen only, below the probe; the plug-in,
    # stand-ins and simulator never use it.
    ("tools/plugin_calls/plugin_calls.cpp", "src/internal.h", None,
     "the call kit includes the plug-in beyond its header"),
    ("tools/plugin_loader/plugin_loader.cpp", None, "lib/libTsMPIO_HDLM.so",
     "the call kit links the plug-in"),
    ("tools/plugin_calls/plugin_calls.cpp", "tools/mpio-probe/probe.h", None,
     "the call kit includes the probe"),
    ("src/TsMPIO_HDLM.cpp", "tools/plugin_calls/plugin_calls.h", None,
     "the plug-in includes the call kit"),
    ("src/TsMPIO_HDLM.cpp", None, "tools/plugin_calls/libplugin_calls.a",
     "the plug-in links the call kit"),
    ("standins/tslib/shell_spawn.cpp", "tools/plugin_loader/plugin_loader.h", None,
     "a stand-in includes the call kit"),
    ("standins/kpartx/open_disk.cpp", None, "tools/plugin_loader/libplugin_loader.a",
     "a stand-in links the call kit"),
    ("sim/main.cpp", "tools/plugin_calls/caller_storage.h", None,
     "the simulator includes the call kit"),
    ("sim/main.cpp", None, "tools/plugin_calls/libplugin_calls.a", "the simulator links the call kit"),
    # linked_entry_points.h takes the plug-in's symbols from the binary itself: tests only.
    ("tools/mpio-probe/main.cpp", "tools/plugin_calls/linked_entry_points.h", None,
     "the probe includes tools/plugin_calls/linked_entry_points.h, which only tests"),
    ("common/unique_fd.cpp", "sim/model/topology.h", None, "a shared header includes the simulator"),
    # Every file the compiler opened lies in a layer: a new folder must be given one.
    ("docs/example.cpp", None, None, "docs/example.cpp lies in no layer"),
    ("tests/plugin/init_test.cpp", "scripts/helpers.h", None, "scripts/helpers.h lies in no layer"),
    # What the rules allow: the probe includes the plug-in's header; the plug-in its stand-ins;
    # the kit the plug-in's header; a fuzzer the linked entry points, linking the plug-in.
    ("tools/mpio-probe/main.cpp", "include/TsMPIO_HDLM.h", "lib/libTsLib.so", None),
    ("src/TsMPIO_HDLM.cpp", "standins/include/TsProcess.h", "lib/libTsLib.so", None),
    ("tools/plugin_calls/plugin_calls.cpp", "include/TsMPIO_HDLM.h", None, None),
    ("fuzz/targets/listing_fuzzer.cpp", "tools/plugin_calls/linked_entry_points.h",
     "lib/libTsMPIO_HDLM.so", None),
]

# A target that mixes layers: each object is held to its own folder's rule, the link line to the
# rules of every layer among its objects, unless the target holds tests.
MIXED = [
    # (sources, header each includes, library, the text the check must report, or None)
    (["tools/mpio-probe/main.cpp", "standins/tslib/log_line.cpp"], None,
     "tools/plugin_calls/libplugin_calls.a", "a stand-in links the call kit"),
    (["tests/standins/kpartx/kernel_layout_test.cpp", "standins/kpartx/kernel_layout.cpp"],
     "include/TsMPIO_HDLM.h", None, "a stand-in includes the plug-in"),
    # A test that compiles a stand-in in links what the test needs.
    (["tests/standins/kpartx/kernel_layout_test.cpp", "standins/kpartx/kernel_layout.cpp"], None,
     "tools/plugin_calls/libplugin_calls.a", None),
]


def plant(root, sources, header, library):
    """A one-target build tree whose objects (one per source) include `header` and whose target
    links `library`. A generated header in the build tree is included too: it lies in no layer
    and must not count."""
    src, build = os.path.join(root, "src-tree"), os.path.join(root, "build")
    tdir = os.path.join(build, "part", "CMakeFiles", "planted.dir")
    os.makedirs(tdir)
    for i, source in enumerate([sources] if isinstance(sources, str) else sources):
        deps = [os.path.join(src, source), "/usr/include/stdio.h",
                os.path.join(build, "generated", "project_version.h")]
        if header:
            deps.append(os.path.join(src, header))
        with open(os.path.join(tdir, f"planted{i}.o.d"), "w") as f:
            f.write(f"part/CMakeFiles/planted.dir/planted{i}.o: \\\n " + " \\\n ".join(deps) + "\n")
    with open(os.path.join(tdir, "link.txt"), "w") as f:
        f.write("/usr/bin/c++ planted.o -o planted " + (os.path.join(build, library) if library else "") + "\n")
    return build, src


class LayeringTest(unittest.TestCase):
    def test_real_tree_holds_every_rule(self):
        seen, violations = check_layers.check(BUILD_DIR, SOURCE_DIR)
        self.assertGreaterEqual(seen, 5, "the plug-in, stand-ins, probe and simulator must be built")
        self.assertEqual(violations, [])

    def assert_reported(self, sources, header, library, expected):
        with tempfile.TemporaryDirectory() as root:
            seen, violations = check_layers.check(*plant(root, sources, header, library))
            self.assertEqual(seen, 1)
            if expected is None:
                self.assertEqual(violations, [])
            else:
                self.assertEqual(len(violations), 1, violations)
                self.assertIn(expected, violations[0])

    def test_planted_violations(self):
        for source, header, library, expected in CASES:
            with self.subTest(source=source, header=header, library=library):
                self.assert_reported(source, header, library, expected)

    def test_mixed_targets(self):
        for sources, header, library, expected in MIXED:
            with self.subTest(sources=sources, header=header, library=library):
                self.assert_reported(sources, header, library, expected)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
