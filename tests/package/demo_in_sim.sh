#!/usr/bin/env bash
# The installed tools do the whole job: the installed hdlm-sim runs the installed mpio-probe's
# report on the shipped demo topology, and the picture must be the one the build tree shows.
# Needs root (the simulator builds a private mount namespace, device nodes and loop devices).
# With OLDER_ROOT, the installed probe runs chrooted into that root file system (an older
# distribution's C and C++ runtimes), the unpacked packages bound in at /mnt. With old-abi, the
# probe loads the old-ABI plug-in beside the old-ABI stand-ins, as an old-ABI agent would.
#
#   demo_in_sim.sh WORK_DIR LIBDIR [BUILD_SIM BUILD_PROBE [OLDER_ROOT [old-abi]]]
set -euo pipefail

work="$1" libdir="$2" build_sim="${3:-}" build_probe="${4:-}" older="${5:-}" variant="${6:-}"
root="$work/root"
sim="$root/usr/bin/hdlm-sim"
probe="$root/usr/bin/mpio-probe"
topology="$root/usr/share/tsmpio-hdlm/topologies/demo.json"
run_options=()
probe_seen_as="$probe"
root_seen_as="$root"

if [ "$(id -u)" -ne 0 ]; then
    echo "SKIPPED: hdlm-sim needs root (mount namespace, device nodes, loop devices)"
    exit 77
fi
for f in "$sim" "$probe" "$topology"; do
    [ -e "$f" ] || { echo "FAIL: ${f#"$root"/} is not in the unpacked packages"; exit 1; }
done
if [ -n "$older" ]; then
    if [ ! -x "$older/bin/sh" ]; then
        echo "SKIPPED: no older root file system at $older (packaging/older-roots makes it; make package runs it)"
        exit 77
    fi
    run_options=(--root "$older" --bind "$root:/mnt")
    probe_seen_as=/mnt/usr/bin/mpio-probe
    root_seen_as=/mnt
    echo "the installed probe runs inside $older ($(chroot "$older" /usr/bin/ldd --version | head -n 1))"
fi

# Loop devices and so device numbers differ from run to run, and with their width the table's
# column padding; everything else must match.
normalise() { grep -v '^plug-in: ' | sed -E 's/\b[0-9]+:[0-9]+\b/MAJ:MIN/g; s/ +/ /g'; }

run_report() {  # run_report SIM TOPOLOGY PROBE OUT [RUN OPTIONS...]: the status of the report
    local status=0 sim="$1" topology="$2" probe="$3" out="$4"
    shift 4
    env -u LD_LIBRARY_PATH timeout --kill-after=5 120 \
        "$sim" run "$@" "$topology" -- "${probe_prefix[@]}" "$probe" "${probe_args[@]}" report \
        >"$out" 2>"$out.err" || status=$?
    return "$status"
}
plugin_folder=tsmpio-hdlm-plugin
# Each variant's outputs apart: the variants run at once on the same unpacked packages.
outputs="$work/report${variant:+-$variant}"
mkdir -p "$outputs"
probe_prefix=(env)
probe_args=()
if [ "$variant" = old-abi ]; then
    plugin_folder=tsmpio-hdlm-plugin-oldabi
    probe_prefix=(env "LD_LIBRARY_PATH=$root_seen_as/usr/$libdir/tsmpio-hdlm/old-abi")
    probe_args=(--plugin "$root_seen_as/usr/$libdir/$plugin_folder/libTsMPIO_HDLM.so")
fi

echo "running the installed probe's report inside the installed simulator"
installed_status=0
run_report "$sim" "$topology" "$probe_seen_as" "$outputs/installed.out" "${run_options[@]}" ||
    installed_status=$?
sed 's/^/    | /' "$outputs/installed.out"
echo "installed run exited $installed_status"

echo "running the same report with the build tree's simulator and probe, for reference"
build_status=0
probe_prefix=(env)
probe_args=()
run_report "$build_sim" "$topology" "$build_probe" "$outputs/build.out" || build_status=$?
echo "build-tree run exited $build_status"

failures=0
fail() { failures=$((failures + 1)); echo "FAIL $1"; }

# 0: every call succeeded; 1: the plug-in answered but reported a failure somewhere (the report
# marks it). Anything else means the probe, the plug-in or the simulator did not run.
if [ "$installed_status" -gt 1 ]; then
    fail "installed run exited $installed_status; its standard error:"
    sed 's/^/    | /' "$outputs/installed.out.err"
fi
[ "$installed_status" -eq "$build_status" ] ||
    fail "installed run exited $installed_status, the build tree's $build_status"
grep -Fx "plug-in: $root_seen_as/usr/$libdir/$plugin_folder/libTsMPIO_HDLM.so" "$outputs/installed.out" >/dev/null ||
    fail "the installed probe did not load the installed $plugin_folder plug-in"

disks="$(grep -Eo '^/dev/sddlm[a-z]+ +disk' "$outputs/build.out" | awk '{print $1}' || true)"
[ -n "$disks" ] || fail "the build tree's report lists no HDLM disk; see its output in $outputs/build.out"
for disk in $disks; do
    grep -E "^$disk +disk" "$outputs/installed.out" >/dev/null || fail "the installed report lacks $disk"
done
if ! diff <(normalise <"$outputs/build.out") <(normalise <"$outputs/installed.out") >"$outputs/report.diff"; then
    fail "the installed report differs from the build tree's (- build tree, + installed):"
    grep '^[<>]' "$outputs/report.diff" | sed 's/^</    -/; s/^>/    +/'
fi

[ "$failures" -eq 0 ] || exit 1
echo "ok: the installed report shows the demo's disks ($(echo $disks)) as the build tree's does"
