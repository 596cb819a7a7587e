#!/usr/bin/env bash
# Fixture of the SDK tests: configures the project against an agent SDK folder, as an integrator
# does (cmake -DTSMPIO_AGENT_SDK=DIR), and builds the plug-in alone into WORK.
#
#   build_plugin.sh SOURCE_DIR SDK_DIR WORK_DIR [CMAKE_ARG...]
set -euo pipefail

source_dir="$1" sdk="$2" work="$3"
shift 3
rm -rf "$work"
echo "configuring $source_dir against the agent SDK $sdk (cmake -DTSMPIO_AGENT_SDK=$sdk)"
if ! cmake -S "$source_dir" -B "$work" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTSMPIO_AGENT_SDK="$sdk" \
        "$@" >"$work.configure.log" 2>&1; then
    cat "$work.configure.log"
    echo "FAIL: the configure step refused the SDK $sdk (its output is above)"
    exit 1
fi
grep -F 'Agent SDK' "$work.configure.log"
echo "building the plug-in alone (cmake --build $work --target TsMPIO_HDLM)"
if ! cmake --build "$work" --target TsMPIO_HDLM >"$work.build.log" 2>&1; then
    cat "$work.build.log"
    echo "FAIL: the plug-in did not build against $sdk (the build's output is above)"
    exit 1
fi
plugin="$work/lib/libTsMPIO_HDLM.so"
echo "built $plugin"
# The C++ helpers stay exported under the signatures of whichever ABI the SDK has.
exports="$(nm -D --defined-only "$plugin" | awk '{print $3}' | c++filt)"
failures=0
for helper in 'compareDevMajor(int)' 'listMPIODevices(std::map<' 'FindMpDeviceName(char const*, std::'; do
    if grep -qF -- "$helper" <<<"$exports"; then
        echo "ok   exports $(grep -F -- "$helper" <<<"$exports")"
    else
        failures=$((failures + 1))
        echo "FAIL the plug-in does not export $helper...; it exports:"
        sed 's/^/    | /' <<<"$exports"
    fi
done
[ "$failures" -eq 0 ]
