#!/usr/bin/env bash
# Fixture for the package tests: builds the Debian packages of this build tree with cpack and
# unpacks each into WORK/root with dpkg -x, as a host's root would hold them once installed.
#
#   build_and_unpack.sh BUILD_DIR WORK_DIR
set -euo pipefail

build="$1"
work="$2"

for tool in cpack dpkg dpkg-shlibdeps; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing; install dpkg-dev (scripts/bootstrap)"; exit 1; }
done

rm -rf "$work"
mkdir -p "$work/debs" "$work/root"

# cpack first runs the tree's preinstall target: a no-op once the tree is built, as under ctest.
echo "building the packages with cpack into $work/debs"
if ! cpack --config "$build/CPackConfig.cmake" -B "$work/debs" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL: cpack could not build the packages (its log is above)"
    exit 1
fi

shopt -s nullglob
debs=("$work"/debs/*.deb)
if [ ${#debs[@]} -eq 0 ]; then
    cat "$work/cpack.log"
    echo "FAIL: cpack reported success but wrote no .deb into $work/debs"
    exit 1
fi
for deb in "${debs[@]}"; do
    echo "unpacking $(basename "$deb") into $work/root"
    dpkg -x "$deb" "$work/root"
done
