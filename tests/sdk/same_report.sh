#!/usr/bin/env bash
# The demo's whole job with a plug-in built against an agent SDK: mpio-probe's report on the demo
# topology inside hdlm-sim, the probe loading that SDK's libraries (as the agent has its own
# loaded), must be the report of the tree's own plug-in. Needs root (the simulator).
#
#   same_report.sh SIM PROBE TOPOLOGY TREE_PLUGIN SDK_PLUGIN SDK_LIB_DIR WORK_DIR
set -euo pipefail

sim="$1" probe="$2" topology="$3" tree_plugin="$4" sdk_plugin="$5" sdk_lib="$6" work="$7"
if [ "$(id -u)" -ne 0 ]; then
    echo "SKIPPED: hdlm-sim needs root (mount namespace, device nodes, loop devices)"
    exit 77
fi
[ -f "$sdk_plugin" ] || { echo "FAIL: $sdk_plugin was not built (see the sdk.*.build test)"; exit 1; }
rm -rf "$work"
mkdir -p "$work"

report() {  # report OUT [ENV ASSIGNMENT...] -- PLUGIN: the report's exit status
    local out="$1" plugin="$2" status=0
    shift 2
    env -u LD_LIBRARY_PATH timeout --kill-after=5 120 "$sim" run "$topology" -- \
        env "$@" "$probe" --plugin "$plugin" report >"$out" 2>"$out.err" || status=$?
    return "$status"
}
# Loop devices, so device numbers and the table's padding, differ from run to run.
normalise() { grep -v '^plug-in: ' "$1" | sed -E 's/\b[0-9]+:[0-9]+\b/MAJ:MIN/g; s/ +/ /g'; }

tree_status=0 sdk_status=0
report "$work/tree.out" "$tree_plugin" || tree_status=$?
report "$work/sdk.out" "$sdk_plugin" LD_LIBRARY_PATH="$sdk_lib" || sdk_status=$?
echo "tree's plug-in: exit $tree_status; the SDK's ($sdk_plugin with $sdk_lib): exit $sdk_status"
sed 's/^/    | /' "$work/sdk.out"
failures=0
if [ "$sdk_status" -gt 1 ] || [ "$sdk_status" -ne "$tree_status" ]; then
    failures=1
    echo "FAIL: the SDK build's report exited $sdk_status, the tree's $tree_status; its standard error:"
    sed 's/^/    | /' "$work/sdk.out.err"
fi
grep -Eq '^/dev/sddlm[a-z]+ +disk' "$work/tree.out" ||
    { failures=1; echo "FAIL: the tree's report lists no HDLM disk (see $work/tree.out)"; }
if ! diff <(normalise "$work/tree.out") <(normalise "$work/sdk.out") >"$work/report.diff"; then
    failures=1
    echo "FAIL: the SDK build's report differs from the tree's (< tree, > SDK):"
    sed 's/^/    /' "$work/report.diff"
fi
[ "$failures" -eq 0 ] && echo "ok: the same report as the tree's plug-in"
