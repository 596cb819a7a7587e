"""Renders the results of bench/run.sh as bench/RESULTS.md: every figure a ratio against a floor
measured in the same run, each goal with its measured ratio, the noise, the machine and the date.

    python3 bench/render_results.py RESULTS_DIR > bench/RESULTS.md

RESULTS_DIR holds Google Benchmark's JSON (--benchmark_out, every repetition) of plugin_bench
(plugin-demo.json, plugin-<LUs>.json), parse_bench (parse-<LUs>.json) and runner_bench
(runner.json), and memory/ with peak-rss.txt and valgrind.log.
"""

import json
import math
import os
import platform
import re
import statistics
import sys

SIZES = [16, 64, 256, 512]
LARGE = 512
DEMO_GOAL = 1.05
LARGE_GOAL = 1.10
# At 512 LUs a membership test is one stat and the inventory: its floor is the smallest of the
# lookups, so the inventory's parsing weighs most there.
LARGE_GOALS = {"isMPIODevice/disk": 1.15}
PARSE_SHARE_GOAL = 0.10
INVENTORY_OWN_SHARE_GOAL = 0.05
SPLITTER = "splitter/inventory"
RUNNER_GROWTH_GOAL = 1.2
LINEAR_EXPONENT_LIMIT = 1.15  # per-LU cost may wobble; above this the growth is not linear

# Entry points in the order of the tables, with the floor each is measured against.
ENTRIES = [
    ("init", "`dlnkmgr view -sys -msrv` + the `/proc/devices` pipeline"),
    ("getMPIODevices", "the `dlnkmgr view -lu` pipeline"),
    ("isMPIODevice/disk", "stat + the `/proc/partitions` inventory pipeline"),
    ("getUnderlyingDevices/disk", "the inventory pipeline + the `-hdev` pipeline"),
    ("getUnderlyingDevices/partition", "the inventory pipeline + the parent's `-hdev` pipeline"),
    ("getPartitionDevices/disk", "stat + `getPartitions` (libkpartx on libblkid)"),
    ("isPartitionDevice/partition", "stat of the partition + stat of its disk"),
    ("refreshMPIO", "`dlnkmgr delete -path -s` + `dlnkmgr add -path -s`"),
]
PARSE_ENTRIES = [name for name, _ in ENTRIES] + ["listMPIODevices", SPLITTER]


def goal_of(name, label, goal):
    """The floor goal of an entry point on a topology (`label` demo or large)."""
    return LARGE_GOALS.get(name, goal) if label == "large" else goal


def inventory_parts(parse_large, plugin_large):
    """The inventory at 512 LUs in its parts, CPU seconds per call: the splitter's calls (on a
    real host the host's own splitter), the plug-in's own share (the rest of listMPIODevices),
    and the floor they are weighed against (stat + the inventory pipeline of isMPIODevice)."""
    whole = median(counter(parse_large, "listMPIODevices", "cpu_median_s"))
    splitter = median(counter(parse_large, SPLITTER, "cpu_median_s"))
    floor = float("nan")
    if plugin_large and counter(plugin_large, "isMPIODevice/disk", "floor_cpu_s"):
        floor = median(counter(plugin_large, "isMPIODevice/disk", "floor_cpu_s"))
    own = whole - splitter
    return {"whole": whole, "splitter": splitter, "own": own, "floor": floor,
            "own_share": own / floor if floor else float("nan"),
            "splitter_share": splitter / floor if floor else float("nan")}


def load(path):
    """Per benchmark name, the counters of every repetition (aggregates are recomputed here)."""
    if not os.path.exists(path):
        return None
    with open(path) as f:
        document = json.load(f)
    runs = {}
    errors = {}
    for b in document.get("benchmarks", []):
        name = b.get("run_name", b["name"]).split("/iterations:")[0].split("/min_time:")[0]
        if b.get("error_occurred"):
            errors[name] = b.get("error_message", "error")
            continue
        if b.get("run_type", "iteration") != "iteration":
            continue
        runs.setdefault(name, []).append(b)
    return {"runs": runs, "errors": errors, "context": document.get("context", {})}


def median(values):
    return statistics.median(values) if values else float("nan")


def cv(values):
    """Coefficient of variation of the repetitions, in percent."""
    if len(values) < 2:
        return float("nan")
    mean = statistics.fmean(values)
    return 100 * statistics.stdev(values) / mean if mean else float("nan")


def counter(data, name, key):
    if data is None:
        return []
    return [r[key] for r in data["runs"].get(name, []) if key in r]


def fmt_ratio(value, digits=3):
    return "n/a" if value is None or math.isnan(value) else f"{value:.{digits}f}"


def fmt_pct(value):
    return "n/a" if value is None or math.isnan(value) else f"{value:.1f} %"


def fmt_time(seconds):
    if seconds is None or math.isnan(seconds):
        return "n/a"
    for unit, scale in (("s", 1), ("ms", 1e-3), ("µs", 1e-6)):
        if seconds >= scale:
            return f"{seconds / scale:.3g} {unit}"
    return f"{seconds / 1e-9:.3g} ns"


def pair_figures(data, name):
    """The judged ratio of a pair and its noise: CPU time where the entry runs commands (its
    cost is the work of the processes it starts, which a busy machine's waiting does not
    inflate), the median of the paired wall-time ratios where it makes only system calls."""
    cpu = counter(data, name, "cpu_ratio")
    wall = counter(data, name, "ratio")
    judged, basis, noise = (median(cpu), "CPU", cv(cpu)) if cpu else (median(wall), "wall", cv(wall))
    return {
        "judged": judged,
        "basis": basis,
        "noise": noise,
        "wall": median(wall),
        "wall_cv": cv(wall),
        "reps": len(wall),
        "floor_wall": median(counter(data, name, "floor_med_s")),
        "floor_cpu": median(counter(data, name, "floor_cpu_s")) if cpu else float("nan"),
        "entry_wall": median(counter(data, name, "entry_med_s")),
        "entry_cpu": median(counter(data, name, "entry_cpu_s")) if cpu else float("nan"),
    }


def verdict(value, goal):
    if value is None or math.isnan(value):
        return "not measured"
    return "met" if value <= goal else "**missed**"


def error_of(data, name):
    return None if data is None else data["errors"].get(name)


def floor_table(out, data, goal, label):
    out.append("| entry point | floor: the same work alone | ratio | "
               "judged on | noise (CV of reps) | wall ratio | wall CV | floor (median) | goal |")
    out.append("|---|---|---|---|---|---|---|---|---|")
    missed = []
    for name, floor in ENTRIES:
        entry_goal = goal_of(name, label, goal)
        error = error_of(data, name)
        if error:
            out.append(f"| `{name}` | {floor} | error: {error} | | | | | | not measured |")
            missed.append((name, None))
            continue
        f = pair_figures(data, name)
        v = verdict(f["judged"], entry_goal)
        if v != "met":
            missed.append((name, f))
        out.append(
            f"| `{name}` | {floor} | **{fmt_ratio(f['judged'])}** | {f['basis']} | "
            f"{fmt_pct(f['noise'])} | {fmt_ratio(f['wall'])} | {fmt_pct(f['wall_cv'])} | "
            f"{fmt_time(f['floor_wall'])} | ≤ {entry_goal:.2f}: {v} |")
    return missed


def machine(results):
    def read(path, default="n/a"):
        try:
            with open(os.path.join(results, path)) as f:
                return f.read().strip()
        except OSError:
            return default

    model = "n/a"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    mem_kib = 0
    with open("/proc/meminfo") as f:
        for line in f:
            if line.startswith("MemTotal:"):
                mem_kib = int(line.split()[1])
    debian = read("/etc/debian_version") if os.path.exists("/etc/debian_version") else "n/a"
    try:
        with open("/etc/debian_version") as f:
            debian = f.read().strip()
    except OSError:
        pass
    return {
        "date": read("date.txt"),
        "cpus": os.cpu_count(),
        "model": model,
        "memory": f"{mem_kib / 1048576:.1f} GiB",
        "kernel": platform.release(),
        "debian": debian,
        "load_start": " ".join(read("loadavg-start.txt").split()[:3]),
        "load_end": " ".join(read("loadavg-end.txt").split()[:3]),
        "seconds": read("seconds.txt"),
    }


def exponent(small_cost, large_cost, small_n, large_n):
    if not small_cost or not large_cost or small_cost <= 0 or large_cost <= 0:
        return float("nan")
    return math.log(large_cost / small_cost) / math.log(large_n / small_n)


def render(results):
    out = []
    m = machine(results)
    demo = load(os.path.join(results, "plugin-demo.json"))
    plugin = {n: load(os.path.join(results, f"plugin-{n}.json")) for n in SIZES}
    parse = {n: load(os.path.join(results, f"parse-{n}.json")) for n in SIZES}
    runner = load(os.path.join(results, "runner.json"))
    goals = []  # (goal, measured, verdict)

    out.append("# Benchmark results")
    out.append("")
    out.append("Written by `make bench` (`bench/run.sh`, rendered by `bench/render_results.py`); "
               "rerun it to regenerate this file. Every figure is a ratio against a floor "
               "measured in the same run.")
    out.append("")
    out.append(f"- Date: {m['date']}; `make bench` took {m['seconds']} s")
    out.append(f"- Machine: {m['cpus']} CPUs ({m['model']}), {m['memory']} memory, "
               f"kernel {m['kernel']}, Debian {m['debian']}")
    out.append(f"- Load average at the start: {m['load_start']}; at the end: {m['load_end']} "
               f"(other work shares this machine: see *Noise* below)")
    out.append("")

    # ---- 1. floors
    out.append("## 1. Each entry point against its floor, inside the simulator")
    out.append("")
    out.append("`plugin_bench` runs inside `hdlm-sim run TOPOLOGY -- build/bin/plugin_bench`. Each "
               "iteration calls the entry point and, in alternating order, its floor: the same "
               "shell command lines through the same runner (`TsProcess::system`), without the "
               "pinned environment the plug-in puts in front of each (so its cost is in the "
               "ratio), or the same system calls, with nothing else. **Judged on CPU** (entry points that run "
               "commands): CPU time of the calling thread plus every process the call started "
               "(the pipelines, `dlnkmgr`), summed over the iterations; this is the work the "
               "call makes the machine do, and it does not grow when other load makes the call "
               "wait for a CPU. **Judged on wall** (entry points without commands): the median of "
               "the iterations' own entry/floor ratios. The wall ratio (median of the paired "
               "iterations' ratios) is shown beside each, with its noise.")
    out.append("")
    for title, data, goal, label in (
            ("Demo topology (`sim/topologies/demo.json`: 5 LUs, 2 storage systems)", demo,
             DEMO_GOAL, "demo"),
            (f"Generated topology: {LARGE} LUs × 8 paths × 15 partitions", plugin[LARGE],
             LARGE_GOAL, "large")):
        out.append(f"### {title}")
        out.append("")
        if data is None:
            out.append("Not measured (its JSON is missing).")
            out.append("")
            continue
        missed = floor_table(out, data, goal, label)
        out.append("")
        for name, _ in ENTRIES:
            entry_goal = goal_of(name, label, goal)
            f = pair_figures(data, name) if not error_of(data, name) else None
            goals.append((f"`{name}` within {int(round((entry_goal - 1) * 100))} % of its floor "
                          f"({label})", f["judged"] if f else None,
                          verdict(f["judged"] if f else None, entry_goal)))
        if missed:
            out.append("Where the goal is missed, and why:")
            out.append("")
            for name, f in missed:
                out.append(f"- `{name}`: {why_missed(name, f, data, parse.get(LARGE) if label == 'large' else None)}")
            out.append("")

    # ---- 2. scale
    out.append("## 2. Scale: 16 to 512 LUs (8 paths and 15 partitions per LU)")
    out.append("")
    out.append("Cost of each entry point at N LUs divided by its cost at 16 LUs: CPU time for "
               "the entry points that run commands (their pipelines and `dlnkmgr` dominate it), "
               "wall time (median iteration) for the others; median of the repetitions.")
    out.append("")
    out.append("| entry point | basis | " + " | ".join(f"{n} LUs" for n in SIZES) + " |")
    out.append("|---|---|" + "---|" * len(SIZES))
    for name, _ in ENTRIES:
        key = "entry_cpu_s" if counter(plugin[SIZES[0]], name, "entry_cpu_s") else "entry_med_s"
        base = median(counter(plugin[SIZES[0]], name, key))
        cells = []
        for n in SIZES:
            cost = median(counter(plugin[n], name, key))
            cells.append(fmt_ratio(cost / base if base and not math.isnan(base) else float("nan"), 2))
        basis = "CPU" if key == "entry_cpu_s" else "wall"
        out.append(f"| `{name}` | {basis} | " + " | ".join(cells) + " |")
    out.append("")
    out.append("The plug-in's own cost, measured apart: `parse_bench` runs in the same simulated "
               "host, but the command lines are answered from canned output captured there "
               "(the scripted runner of `tests/plugin/support`), so only the plug-in's parsing, "
               "lookups, stat calls and copying are timed (CPU time of the median iteration: a "
               "call of a few milliseconds is preempted on a busy machine, which would bend "
               "wall time upwards at the largest sizes). *Exponent* is "
               "log(cost ratio) / log(LU ratio) between neighbouring sizes: 1 is linear, 0 "
               "constant. *Share* is that own cost at 512 LUs divided by the floor's cost at 512 "
               "LUs from section 1 (CPU time for entry points that run commands, else wall); the "
               f"goal is below {PARSE_SHARE_GOAL:.2f}.")
    out.append("")
    out.append("| own cost of | × at 64 | × at 256 | × at 512 | exponent 16→64 | 64→256 | "
               "256→512 | linear | share of the floor at 512 | goal (< 0.10) |")
    out.append("|---|---|---|---|---|---|---|---|---|---|")
    for name in PARSE_ENTRIES:
        costs = [median(counter(parse[n], name, "cpu_median_s")) for n in SIZES]
        if any(math.isnan(c) for c in costs):
            errors = [error_of(parse[n], name) for n in SIZES if error_of(parse[n], name)]
            out.append(f"| `{name}` | not measured{': ' + errors[0] if errors else ''} |||||||||")
            continue
        growth = [c / costs[0] for c in costs[1:]]
        exps = [exponent(costs[i], costs[i + 1], SIZES[i], SIZES[i + 1]) for i in range(len(SIZES) - 1)]
        linear = all(e <= LINEAR_EXPONENT_LIMIT for e in exps)
        share_cell, goal_cell = "n/a (no floor of its own)", "n/a"
        if name not in ("listMPIODevices", SPLITTER):
            f = pair_figures(plugin[LARGE], name) if plugin[LARGE] else None
            floor = None
            if f:
                floor = f["floor_cpu"] if f["basis"] == "CPU" else f["floor_wall"]
            if floor and not math.isnan(floor):
                share = costs[-1] / floor
                share_cell = fmt_ratio(share, 4)
                if f["basis"] == "CPU":
                    goal_cell = "met" if share < PARSE_SHARE_GOAL else "**missed**"
                    goals.append((f"`{name}`: own cost below a tenth of its pipelines at 512 LUs",
                                  share, goal_cell))
                else:
                    # No pipeline: its own cost includes the very stat calls of its floor.
                    goal_cell = "n/a (no pipeline)"
        goals.append((f"`{name}`: own cost grows linearly (16 → 512 LUs)",
                      max(exps), "met" if linear else "**missed**"))
        out.append(f"| `{name}` | " + " | ".join(fmt_ratio(g, 2) for g in growth) + " | " +
                   " | ".join(fmt_ratio(e, 2) for e in exps) +
                   f" | {'yes' if linear else '**no**'} | {share_cell} | {goal_cell} |")
    out.append("")
    out.append("`listMPIODevices` is the inventory parser alone (8192 lines of `/proc/partitions` "
               f"at 512 LUs); `{SPLITTER}` is the splitter's calls that it makes (the output into "
               "lines, each line into tokens), run alone on the same output. `isMPIODevice` and "
               "`getUnderlyingDevices` spend most of their own cost in the inventory. Entry points "
               "whose answer does not grow with the topology (`getPartitionDevices`, "
               "`isPartitionDevice`, `refreshMPIO`) stay constant.")
    out.append("")
    out.extend(inventory_section(parse[LARGE], plugin[LARGE], goals))

    # ---- 3. runner
    out.append("## 3. The runner's start cost against the host's size")
    out.append("")
    out.append("`runner_bench` holds 0, 1, 4 and 8 GiB of touched memory (small pages, written with "
               "memset in 64 MiB chunks, unmapped between sizes) and runs `true` through "
               "`TsProcess::system` (`posix_spawn`), then the same `sh -c true` through a plain "
               "`fork` + `exec`. Each figure is the same way's cost at that size divided by its "
               "cost at 0 GiB: the median iteration, median of the repetitions. **Judged on CPU** "
               "(this process and the child: a fork's copying of page tables is CPU work), wall "
               "time shown beside it.")
    out.append("")
    out.append("| host memory | runner ÷ runner at 0 GiB: CPU | wall | fork+exec ÷ fork+exec at 0 GiB: "
               "CPU | wall | fork+exec ÷ runner: CPU | wall | noise (CV) runner CPU / fork CPU |")
    out.append("|---|---|---|---|---|---|---|---|")
    sizes_gib = []
    if runner:
        for key in runner["runs"]:
            match = re.match(r"runner/host_gib:(\d+)$", key)
            if match:
                sizes_gib.append(int(match.group(1)))
    sizes_gib.sort()

    def way(kind, gib, key):
        return counter(runner, f"{kind}/host_gib:{gib}", key)

    r0 = median(way("runner", 0, "median_s"))
    r0c = median(way("runner", 0, "cpu_median_s"))
    f0 = median(way("fork_exec", 0, "median_s"))
    f0c = median(way("fork_exec", 0, "cpu_median_s"))
    growth = None
    for gib in sizes_gib:
        r, rc = median(way("runner", gib, "median_s")), median(way("runner", gib, "cpu_median_s"))
        fk, fc = median(way("fork_exec", gib, "median_s")), median(way("fork_exec", gib, "cpu_median_s"))
        if gib == max(sizes_gib):
            growth = (rc / r0c, r / r0)
        out.append(f"| {gib} GiB | **{fmt_ratio(rc / r0c, 2)}** | {fmt_ratio(r / r0, 2)} | "
                   f"**{fmt_ratio(fc / f0c, 1)}** | {fmt_ratio(fk / f0, 1)} | {fmt_ratio(fc / rc, 1)} | "
                   f"{fmt_ratio(fk / r, 1)} | {fmt_pct(cv(way('runner', gib, 'cpu_median_s')))} / "
                   f"{fmt_pct(cv(way('fork_exec', gib, 'cpu_median_s')))} |")
    out.append("")
    if sizes_gib:
        big = max(sizes_gib)
        out.append(f"The scale of the ratios: at 0 GiB one run takes {fmt_time(r0c)} CPU "
                   f"({fmt_time(r0)} wall) through the runner and {fmt_time(f0c)} CPU "
                   f"({fmt_time(f0)} wall) through fork+exec.")
        out.append("")
        goals.append((f"runner at {big} GiB within {RUNNER_GROWTH_GOAL}× of 0 GiB (CPU; wall "
                      f"{fmt_ratio(growth[1], 2)})", growth[0],
                      verdict(growth[0], RUNNER_GROWTH_GOAL)))

    # ---- 4. memory
    out.append("## 4. Memory of `mpio-probe report` on the large topology")
    out.append("")
    out.extend(memory_section(results, goals))

    # ---- goals
    out.append("## Goals at a glance")
    out.append("")
    out.append("| goal | measured | result |")
    out.append("|---|---|---|")
    for goal, value, v in goals:
        shown = value if isinstance(value, str) else fmt_ratio(value)
        out.append(f"| {goal} | {shown} | {v} |")
    out.append("")

    # ---- noise
    out.append("## Noise")
    out.append("")
    out.append("The noise columns are the coefficient of variation (stdev / mean) of the "
               "repetitions' figures. The machine is shared with other work (see the load "
               "average above), which makes wall-clock figures of anything that starts processes "
               "swing by tens of per cent from one repetition to the next; that is why the "
               "entry points that run commands are judged on CPU time, whose repetitions agree "
               "within a few per cent, and why every wall figure is a median of paired or "
               "per-iteration medians. Repetitions: "
               f"{len(counter(demo, 'init', 'ratio')) if demo else 0} on the demo topology, "
               f"{len(counter(plugin[LARGE], 'init', 'ratio')) if plugin[LARGE] else 0} per "
               "generated topology; the iteration count per repetition is sized so that each "
               "benchmark takes a few seconds (at least one iteration).")
    out.append("")
    return "\n".join(out) + "\n"


def inventory_section(parse_large, plugin_large, goals):
    """The inventory at 512 LUs in its parts, each against the floor of isMPIODevice."""
    out = ["### The inventory's parts at 512 LUs", ""]
    parts = inventory_parts(parse_large, plugin_large)
    if any(math.isnan(parts[k]) for k in ("whole", "splitter", "floor")):
        out += ["Not measured (a figure is missing).", ""]
        goals.append(("the plug-in's own share of the inventory below 5 % of its floor", None,
                      "not measured"))
        return out
    own_verdict = "met" if parts["own_share"] < INVENTORY_OWN_SHARE_GOAL else "**missed**"
    out.append("CPU time per call on canned answers, and its share of the floor of "
               f"`isMPIODevice` at 512 LUs (stat + the inventory pipeline: "
               f"{fmt_time(parts['floor'])} CPU). On a real host the splitter is the host's own "
               "`FXString::Split`, so the plug-in's own share must be small by itself.")
    out.append("")
    out.append("| part | CPU per call | share of the floor | goal |")
    out.append("|---|---|---|---|")
    out.append(f"| the splitter's calls (`{SPLITTER}`) | {fmt_time(parts['splitter'])} | "
               f"{fmt_ratio(parts['splitter_share'], 4)} | figure |")
    out.append(f"| the plug-in's own (`listMPIODevices` less the splitter) | "
               f"{fmt_time(parts['own'])} | **{fmt_ratio(parts['own_share'], 4)}** | "
               f"< {INVENTORY_OWN_SHARE_GOAL:.2f}: {own_verdict} |")
    out.append(f"| the whole inventory (`listMPIODevices`) | {fmt_time(parts['whole'])} | "
               f"{fmt_ratio(parts['whole'] / parts['floor'], 4)} | figure |")
    out.append("")
    goals.append(("the plug-in's own share of the inventory below 5 % of its floor",
                  parts["own_share"], own_verdict))
    return out


def why_missed(name, f, data, parse_large):
    """A plain account of a missed floor goal, from the figures at hand."""
    if f is None:
        return "the benchmark failed, so nothing was measured (see its error above)."
    extra_wall = f["entry_wall"] - f["floor_wall"]
    if name == "isPartitionDevice/partition":
        return (f"the floor is two `stat` calls ({fmt_time(f['floor_wall'])}); the entry point "
                f"adds about {fmt_time(extra_wall)} around them (deriving the parent's name as a "
                "string, `snprintf` of it into the caller's buffer, the HDLM-major lookup, the "
                "exception barrier). A fixed cost of well under a microsecond, but on a floor this "
                "small it is more than 5 %.")
    if name == "getPartitionDevices/disk":
        return (f"the floor is one `stat` and `getPartitions` ({fmt_time(f['floor_wall'])}); the "
                f"entry point adds about {fmt_time(extra_wall)}: the partition test that the "
                "interface prescribes `stat`s the disk a second time, and every partition found "
                "becomes a 1064-byte `TsPartInfo` (zeroed, named with `snprintf`, copied out).")
    if f["basis"] == "CPU":
        text = (f"CPU ratio {fmt_ratio(f['judged'])} (CV {fmt_pct(f['noise'])}): the entry point "
                f"used {fmt_time(f['entry_cpu'] - f['floor_cpu'])} more CPU per call than its "
                f"floor ({fmt_time(f['floor_cpu'])}).")
        inventory = median(counter(parse_large, "listMPIODevices", "cpu_median_s"))
        own = median(counter(parse_large, name, "cpu_median_s"))
        if name.startswith(("isMPIODevice", "getUnderlyingDevices")) and not math.isnan(inventory):
            text += (f" Its own cost on canned answers is {fmt_time(own)} CPU, nearly all of it "
                     f"the inventory (`listMPIODevices` measured alone: {fmt_time(inventory)}): "
                     "every lookup turns every HDLM disk and partition in `/proc/partitions` "
                     "(8192 lines here) into a `std::map`, through `FXString::Split` and a map "
                     "node per device, to find one key. The inventory's parts are in section 2.")
        return text
    return f"wall ratio {fmt_ratio(f['judged'])} (CV {fmt_pct(f['noise'])})."


PROBLEM_MARKS = (" FAILED ", " NOT A PARTITION", " MISMATCH")


def report_findings(report, topology_path):
    """What the large host's report saw, in words: the devices listed against the topology's LUs,
    and each kind of problem the report marked with how often it occurred (device names masked,
    so that 496 failures of one kind read as one line)."""
    words = []
    # The last listing call is the one the report used (a retry follows a too-small array).
    listed = re.findall(r"^getMPIODevices\(capacity=\d+\)\s+=\s+-?\d+\s+count=(\d+)", report, re.M)
    try:
        with open(topology_path) as f:
            topology = json.load(f)
        lus = sum(len(system.get("lus", [])) for system in topology.get("storageSystems", []))
        backed = topology.get("maxLoopBackedLUs")
    except (OSError, ValueError, AttributeError):
        lus, backed = None, None
    if listed and lus is not None:
        count = int(listed[-1])
        words.append(f"`getMPIODevices` listed {count} devices for the topology's {lus} LUs"
                     + (" (the same number)." if count == lus else ": **they differ**."))
    if backed is not None and lus is not None and backed < lus:
        words.append(f"The topology backs only its first {backed} LUs with loop devices, so the "
                     "other disks' partition tables can't be read.")
    kinds = {}
    for line in report.splitlines():
        if not any(mark in line for mark in PROBLEM_MARKS) or "problem(s)" in line:
            continue
        # The CALLS column: from the first call name on (the tree and number columns vary).
        call = re.search(r"\b[a-zA-Z]+(?:\(|=).*$", line)
        text = call.group(0) if call else line.strip()
        text = re.sub(r"sddlm[a-p]{2,3}\d*", "DEV", text)
        kinds[text] = kinds.get(text, 0) + 1
    if kinds:
        words.append("The problems it marked, by kind (device names as `DEV`): "
                     + "; ".join(f"{n} × `{k}`" for k, n in sorted(kinds.items(), key=lambda kv: -kv[1]))
                     + ".")
    return " ".join(words)


def memory_section(results, goals):
    out = []
    memory = os.path.join(results, "memory")

    def read(name):
        try:
            with open(os.path.join(memory, name)) as f:
                return f.read()
        except OSError:
            return ""

    peak = dict(re.findall(r"(\w+)=(-?\d+)", read("peak-rss.txt")))
    report = read("probe-report.txt")
    summary = re.search(r"^(\d+ devices, .*)$", report, re.M)
    out.append("`peak-rss` (`bench/peak_rss.cpp`) runs the command under `ptrace` and reads its "
               "`VmHWM` when it exits, before its memory is released: the probe process itself, "
               "with the plug-in loaded. *Whole tree* is what `wait4` reports, the largest process "
               "among the probe and every pipeline and `dlnkmgr` it ran.")
    out.append("")
    if peak:
        own = int(peak.get("command_peak_rss_kib", -1))
        tree = int(peak.get("tree_peak_rss_kib", -1))
        out.append("| process | peak resident memory |")
        out.append("|---|---|")
        out.append(f"| `mpio-probe report` (with the plug-in) | {own / 1024:.1f} MiB |")
        out.append(f"| largest process of its tree | {tree / 1024:.1f} MiB |")
        out.append("")
        goals.append(("peak resident memory of `mpio-probe report` at 512 LUs (figure, no goal)",
                      f"{own / 1024:.1f} MiB", "measured"))
    else:
        out.append("Peak resident memory: not measured (peak-rss wrote nothing).")
        out.append("")
    if summary:
        out.append(f"The report's own last line: `{summary.group(1).strip()}` (exit status "
                   f"{read('probe-status.txt').strip() or 'n/a'}). "
                   + report_findings(report, os.path.join(results, f"topology-{LARGE}.json")))
        out.append("")

    log = read("valgrind.log")
    status = read("valgrind-status.txt").strip()
    errors = re.search(r"ERROR SUMMARY: (\d+) errors", log)
    definite = re.search(r"definitely lost: ([\d,]+) bytes", log)
    indirect = re.search(r"indirectly lost: ([\d,]+) bytes", log)
    possible = re.search(r"possibly lost: ([\d,]+) bytes", log)
    in_use = re.search(r"in use at exit: ([\d,]+) bytes in ([\d,]+) blocks", log)
    all_freed = "All heap blocks were freed -- no leaks are possible" in log
    usage = re.search(r"total heap usage: ([\d,]+) allocs, ([\d,]+) frees, ([\d,]+) bytes allocated", log)
    out.append("`valgrind --leak-check=full --show-leak-kinds=all "
               "--errors-for-leak-kinds=definite,indirect,possible --error-exitcode=97` on the same "
               "`mpio-probe report` (97 rather than 1: the report itself exits 1 there, see above).")
    out.append("")
    if errors:
        leaked = [m.group(1) for m in (definite, indirect, possible) if m]
        no_leak = all_freed or all(x == "0" for x in leaked)
        out.append("| valgrind | result |")
        out.append("|---|---|")
        out.append(f"| errors (invalid reads/writes, uninitialised values, leaks) | {errors.group(1)} |")
        if in_use:
            out.append(f"| in use at exit | {in_use.group(1)} bytes in {in_use.group(2)} blocks |")
        if usage:
            out.append(f"| heap use over the run | {usage.group(1)} allocations, {usage.group(2)} frees, "
                       f"{usage.group(3)} bytes |")
        out.append(f"| leaks | {'none: all heap blocks were freed' if all_freed else ', '.join(leaked) + ' bytes (definite, indirect, possible)'} |")
        out.append(f"| valgrind exit status | {status or 'n/a'} |")
        out.append("")
        goals.append(("valgrind: no leak and no error in `mpio-probe report` at 512 LUs",
                      f"{errors.group(1)} errors", "met" if no_leak and errors.group(1) == "0" and status != "97"
                      else "**missed**"))
    else:
        out.append("valgrind: not measured (no summary in its log).")
        out.append("")
        goals.append(("valgrind: no leak in `mpio-probe report` at 512 LUs", None, "not measured"))
    return out


def main():
    if len(sys.argv) != 2 or not os.path.isdir(sys.argv[1]):
        sys.stderr.write("usage: render_results.py RESULTS_DIR (the folder bench/run.sh wrote)\n")
        return 2
    sys.stdout.write(render(sys.argv[1]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
