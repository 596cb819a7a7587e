#!/usr/bin/env bash
# An SDK folder that cannot make a working plug-in is refused at configure time, naming what is
# wrong. Each row makes a broken SDK from the good ones and checks cmake's message; the missing
# import goes through the project's whole configure step, the others through the same check run
# alone (cmake -P cmake/AgentSdk.cmake), which costs no configure.
#
#   refusals.sh SOURCE_DIR NEW_ABI_SDK OLD_ABI_SDK WORK_DIR
set -euo pipefail

source_dir="$1" new_sdk="$2" old_sdk="$3" work="$4"
rm -rf "$work"
mkdir -p "$work"
failures=0

sdk_from() {  # sdk_from NAME BASE: a copy of the SDK BASE in WORK/NAME
    cp -a "$2" "$work/$1"
    echo "$work/$1"
}

# row NAME HOW EXPECTED-REGEX SDK: HOW is "check" (the check alone) or "configure"
row() {
    local name="$1" how="$2" expected="$3" sdk="$4" status=0 out
    if [ "$how" = configure ]; then
        out="$(cmake -S "$source_dir" -B "$work/$name.build" -DTSMPIO_AGENT_SDK="$sdk" 2>&1)" || status=$?
    else
        out="$(cmake -DTSMPIO_AGENT_SDK="$sdk" -P "$source_dir/cmake/AgentSdk.cmake" 2>&1)" || status=$?
    fi
    # cmake wraps its messages: compare them as one line.
    if [ "$status" -ne 0 ] && tr -s ' \n' '  ' <<<"$out" | grep -Eq -- "$expected"; then
        echo "ok   $name: refused, naming it"
    else
        failures=$((failures + 1))
        echo "FAIL $name: expected a refusal matching '$expected' (status $status); cmake said:"
        sed 's/^/    | /' <<<"$out"
    fi
}

sdk="$(sdk_from no-getPartitions "$old_sdk")"
cp "$old_sdk/lib/libZoUtils.so" "$sdk/lib/libkpartx.so"
row no-getPartitions configure \
    'libkpartx\.so \(old std::string ABI\) lacks getPartitions.*_Z13getPartitionsPKcRSt4listI5sliceSaIS2_EE' "$sdk"

sdk="$(sdk_from mixed-abi "$old_sdk")"
cp "$new_sdk/lib/libZoUtils.so" "$sdk/lib/libZoUtils.so"
row mixed-abi check 'libZoUtils\.so is built with the new std::string ABI but libTsLib\.so with the old' "$sdk"

sdk="$(sdk_from no-header "$new_sdk")"
rm "$sdk/include/kpartx.h"
row no-header check 'include/kpartx\.h is missing' "$sdk"

sdk="$(sdk_from no-library "$new_sdk")"
rm "$sdk/lib/libTsLib.so"
row no-library check 'lib/libTsLib\.so is missing' "$sdk"

row no-folder check "$work/absent is not a folder" "$work/absent"

[ "$failures" -eq 0 ]
