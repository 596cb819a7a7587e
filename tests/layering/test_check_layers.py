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
    ("src/TsMPIO_HDLM.cpp", None, "lib/static/libhdlm_sim_core.a", "the plug-in links a tool"),
    ("standins/tslib/shell_spawn.cpp", "include/TsMPIO_HDLM.h", None, "a stand-in includes the plug-in"),
    ("standins/kpartx/open_disk.cpp", None, "lib/libTsMPIO_HDLM.so", "a stand-in links the plug-in"),
    ("tools/mpio-probe/main.cpp", "src/internal.h", None, "the probe includes the plug-in beyond"),
    ("tools/mpio-probe/main.cpp", None, "lib/libTsMPIO_HDLM.so", "the probe links the plug-in"),
    ("sim/main.cpp", "include/TsMPIO_HDLM.h", None, "the simulator includes the plug-in"),
    ("sim/main.cpp", None, "lib/libTsMPIO_HDLM.so", "the simulator links the plug-in"),
    # What the rules allow: the probe includes the plug-in's header; the plug-in its stand-ins.
    ("tools/mpio-probe/main.cpp", "include/TsMPIO_HDLM.h", "lib/libTsLib.so", None),
    ("src/TsMPIO_HDLM.cpp", "standins/include/TsProcess.h", "lib/libTsLib.so", None),
]


def plant(root, source, header, library):
    """A one-target build tree whose object includes `header` and whose target links `library`."""
    src, build = os.path.join(root, "src-tree"), os.path.join(root, "build")
    tdir = os.path.join(build, "part", "CMakeFiles", "planted.dir")
    os.makedirs(tdir)
    deps = [os.path.join(src, source), "/usr/include/stdio.h"]
    if header:
        deps.append(os.path.join(src, header))
    with open(os.path.join(tdir, "planted.o.d"), "w") as f:
        f.write("part/CMakeFiles/planted.dir/planted.o: \\\n " + " \\\n ".join(deps) + "\n")
    with open(os.path.join(tdir, "link.txt"), "w") as f:
        f.write("/usr/bin/c++ planted.o -o planted " + (os.path.join(build, library) if library else "") + "\n")
    return build, src


class LayeringTest(unittest.TestCase):
    def test_real_tree_holds_every_rule(self):
        seen, violations = check_layers.check(BUILD_DIR, SOURCE_DIR)
        self.assertGreaterEqual(seen, 5, "the plug-in, stand-ins, probe and simulator must be built")
        self.assertEqual(violations, [])

    def test_planted_violations(self):
        for source, header, library, expected in CASES:
            with self.subTest(source=source, header=header, library=library):
                with tempfile.TemporaryDirectory() as root:
                    seen, violations = check_layers.check(*plant(root, source, header, library))
                    self.assertEqual(seen, 1)
                    if expected is None:
                        self.assertEqual(violations, [])
                    else:
                        self.assertEqual(len(violations), 1, violations)
                        self.assertIn(expected, violations[0])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
