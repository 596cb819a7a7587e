"""The renderer of bench/RESULTS.md: it must read Google Benchmark's JSON as written, judge each
goal on the right figure, and say "missed" where a figure misses its goal."""

import json
import math
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import render_results as rr  # noqa: E402


def repetition(name, index, **counters):
    run = {"name": f"{name}/iterations:3/repeats:3/manual_time",
           "run_name": f"{name}/iterations:3/repeats:3/manual_time",
           "run_type": "iteration", "repetition_index": index, "iterations": 3,
           "real_time": 1.0, "cpu_time": 1.0, "time_unit": "us"}
    run.update(counters)
    return run


def aggregate(name, which, **counters):
    run = repetition(name, 0, **counters)
    run.update({"run_type": "aggregate", "aggregate_name": which,
                "name": run["name"] + "_" + which})
    return run


def write_json(path, benchmarks):
    with open(path, "w") as f:
        json.dump({"context": {"num_cpus": 2}, "benchmarks": benchmarks}, f)


def pair_reps(name, cpu_ratios, wall_ratios=None, floor_cpu=0.01, floor_wall=0.02):
    wall_ratios = wall_ratios or [1.0] * len(cpu_ratios)
    reps = []
    for i, (c, w) in enumerate(zip(cpu_ratios, wall_ratios)):
        counters = {"ratio": w, "ratio_sum": w, "entry_med_s": floor_wall * w,
                    "floor_med_s": floor_wall, "entry_s": floor_wall * w, "floor_s": floor_wall}
        if c is not None:
            counters.update({"cpu_ratio": c, "entry_cpu_s": floor_cpu * c, "floor_cpu_s": floor_cpu})
        reps.append(repetition(name, i, **counters))
    return reps


class LoadTest(unittest.TestCase):
    def test_repetitions_are_kept_aggregates_dropped_errors_recorded(self):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "x.json")
            write_json(path, pair_reps("init", [1.0, 1.1, 0.9]) +
                       [aggregate("init", "median", cpu_ratio=5.0),
                        {"name": "refreshMPIO/iterations:1", "run_name": "refreshMPIO/iterations:1",
                         "run_type": "iteration", "error_occurred": True,
                         "error_message": "warm-up failed: status 1"},
                        repetition("runner/host_gib:8/min_time:0.300/repeats:3", 0, median_s=0.001)])
            data = rr.load(path)
        self.assertEqual(len(data["runs"]["init"]), 3)
        self.assertEqual(rr.counter(data, "init", "cpu_ratio"), [1.0, 1.1, 0.9])
        self.assertEqual(data["errors"], {"refreshMPIO": "warm-up failed: status 1"})
        self.assertIn("runner/host_gib:8", data["runs"])

    def test_a_missing_file_is_none(self):
        self.assertIsNone(rr.load("/nonexistent/plugin-demo.json"))


class FiguresTest(unittest.TestCase):
    def data(self, reps):
        return {"runs": {"x": reps}, "errors": {}, "context": {}}

    def test_commands_are_judged_on_cpu_and_calls_without_on_wall(self):
        with_cpu = rr.pair_figures(self.data(pair_reps("x", [1.02, 1.30, 1.04], [0.8, 2.0, 0.9])), "x")
        self.assertEqual(with_cpu["basis"], "CPU")
        self.assertAlmostEqual(with_cpu["judged"], 1.04)  # the median, not the mean
        self.assertAlmostEqual(with_cpu["wall"], 0.9)
        without = rr.pair_figures(self.data(pair_reps("x", [None, None, None], [1.2, 1.1, 1.3])), "x")
        self.assertEqual(without["basis"], "wall")
        self.assertAlmostEqual(without["judged"], 1.2)

    def test_noise_is_the_coefficient_of_variation_in_percent(self):
        self.assertAlmostEqual(rr.cv([1.0, 1.0, 1.0]), 0.0)
        self.assertAlmostEqual(rr.cv([1.0, 2.0, 3.0]), 50.0)
        self.assertTrue(math.isnan(rr.cv([1.0])))

    def test_verdicts_at_and_around_the_goal(self):
        for value, goal, expected in ((1.05, 1.05, "met"), (1.0501, 1.05, "**missed**"),
                                      (0.5, 1.10, "met"), (float("nan"), 1.05, "not measured"),
                                      (None, 1.05, "not measured")):
            with self.subTest(value=value, goal=goal):
                self.assertEqual(rr.verdict(value, goal), expected)

    def test_exponent_tells_linear_from_constant_and_quadratic(self):
        self.assertAlmostEqual(rr.exponent(1.0, 2.0, 256, 512), 1.0)
        self.assertAlmostEqual(rr.exponent(1.0, 1.0, 256, 512), 0.0)
        self.assertAlmostEqual(rr.exponent(1.0, 4.0, 256, 512), 2.0)
        self.assertTrue(math.isnan(rr.exponent(0.0, 4.0, 256, 512)))


class RenderTest(unittest.TestCase):
    """A whole results folder: each goal appears with its figure and the right verdict."""

    def test_goals_table(self):
        names = [name for name, _ in rr.ENTRIES]
        with tempfile.TemporaryDirectory() as d:
            demo = []
            for name in names:
                if name in ("getPartitionDevices/disk", "isPartitionDevice/partition"):
                    demo += pair_reps(name, [None] * 3, [1.01, 1.02, 1.03])
                elif name == "getMPIODevices":
                    demo += pair_reps(name, [1.20, 1.21, 1.19])  # misses 5 %
                else:
                    demo += pair_reps(name, [1.00, 1.01, 0.99])
            write_json(os.path.join(d, "plugin-demo.json"), demo)
            # At 512 LUs a lookup 12 % above its floor meets the membership test's goal (15 %)
            # but not that of the others (10 %).
            large_ratio = {"isMPIODevice/disk": 1.12, "getUnderlyingDevices/partition": 1.12}
            for n in rr.SIZES:
                write_json(os.path.join(d, f"plugin-{n}.json"),
                           sum((pair_reps(name, [large_ratio.get(name, 1.0) if n == 512 else 1.0] * 3)
                                for name in names), []))
                # The inventory at 512 LUs: 0.61 ms, half of it the splitter's; the plug-in's own
                # 0.31 ms is 3 % of the 10 ms floor (the whole would be 6 %).
                cost = {"listMPIODevices": 1.2e-6 * n, rr.SPLITTER: 0.6e-6 * n}
                write_json(os.path.join(d, f"parse-{n}.json"),
                           [repetition(name, i, median_s=cost.get(name, 1e-6 * n),
                                       cpu_median_s=cost.get(name, 1e-6 * n))
                            for name in rr.PARSE_ENTRIES for i in range(3)])
            write_json(os.path.join(d, "runner.json"),
                       [repetition(f"{way}/host_gib:{gib}", i, median_s=t, cpu_median_s=t)
                        for gib, runner_t, fork_t in ((0, 0.001, 0.001), (8, 0.0013, 0.5))
                        for way, t in (("runner", runner_t), ("fork_exec", fork_t)) for i in range(3)])
            os.mkdir(os.path.join(d, "memory"))
            with open(os.path.join(d, "memory", "peak-rss.txt"), "w") as f:
                f.write("command_peak_rss_kib=8192 tree_peak_rss_kib=20480 exit_status=1\n")
            with open(os.path.join(d, "memory", "valgrind.log"), "w") as f:
                f.write("==1== ERROR SUMMARY: 0 errors from 0 contexts\n"
                        "==1== All heap blocks were freed -- no leaks are possible\n")
            with open(os.path.join(d, "memory", "valgrind-status.txt"), "w") as f:
                f.write("1\n")
            text = rr.render(d)

        def row(goal):
            lines = [line for line in text.splitlines() if line.startswith("| " + goal)]
            self.assertEqual(len(lines), 1, goal)
            return lines[0]

        self.assertIn("**missed**", row("`getMPIODevices` within 5 % of its floor (demo)"))
        self.assertIn("| 1.200 |", row("`getMPIODevices` within 5 % of its floor (demo)"))
        self.assertIn("| met |", row("`init` within 5 % of its floor (demo)"))
        self.assertIn("| met |", row("`init` within 10 % of its floor (large)"))
        self.assertIn("| met |", row("`isMPIODevice/disk` within 15 % of its floor (large)"))
        self.assertIn("**missed**", row("`getUnderlyingDevices/partition` within 10 % of its floor (large)"))
        own = row("the plug-in's own share of the inventory below 5 %")
        self.assertIn("| 0.031 |", own)
        self.assertIn("| met |", own)
        # The canned cost grows with the LU count exactly: linear, and far below the floor.
        self.assertIn("| met |", row("`listMPIODevices`: own cost grows linearly"))
        self.assertIn("| met |", row("`isMPIODevice/disk`: own cost below a tenth"))
        # The runner grew 1.3×: above 1.2×.
        self.assertIn("**missed**", row("runner at 8 GiB within 1.2× of 0 GiB"))
        self.assertIn("| met |", row("valgrind: no leak and no error"))
        self.assertIn("8.0 MiB", text)


class ReportFindings(unittest.TestCase):
    """What RESULTS.md says about the large host's report comes from that report and topology."""

    REPORT = ("getMPIODevices(capacity=2)  = 3  count=2, more entries than the array held: retrying\n"
              "getMPIODevices(capacity=3)  = 0  count=3\n"
              "└─(partitions)  error  getPartitionDevices(/dev/sddlmab) FAILED errorCode=-6 errorMessage=\"/dev/sddlmab\"\n"
              "└─(partitions)  error  getPartitionDevices(/dev/sddlmac) FAILED errorCode=-6 errorMessage=\"/dev/sddlmac\"\n"
              "├─/dev/sddlmaa1  part  7:1  2048  8  4K  isPartitionDevice=0 NOT A PARTITION\n"
              "3 devices, 6 paths, 1 partitions; 3 problem(s), marked FAILED, NOT A PARTITION or MISMATCH above\n")

    def findings(self, lus):
        with tempfile.TemporaryDirectory() as d:
            topology = os.path.join(d, "topology.json")
            with open(topology, "w") as f:
                json.dump({"maxLoopBackedLUs": 1,
                           "storageSystems": [{"lus": [{} for _ in range(lus)]}]}, f)
            return rr.report_findings(self.REPORT, topology)

    def test_counts_the_retried_listing_against_the_topology_and_groups_problems(self):
        text = self.findings(lus=3)
        self.assertIn("listed 3 devices for the topology's 3 LUs (the same number)", text)
        self.assertIn("only its first 1 LUs", text)
        self.assertIn('2 × `getPartitionDevices(/dev/DEV) FAILED errorCode=-6 errorMessage="/dev/DEV"`', text)
        self.assertIn("1 × `isPartitionDevice=0 NOT A PARTITION`", text)
        self.assertNotIn("problem(s)", text)

    def test_a_listing_that_differs_from_the_topology_is_called_out(self):
        self.assertIn("listed 3 devices for the topology's 2 LUs: **they differ**", self.findings(lus=2))


if __name__ == "__main__":
    unittest.main()
