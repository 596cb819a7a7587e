#!/usr/bin/env bash
# Fixture for the package tests: builds the Debian and RPM packages of this build tree with cpack
# and unpacks the .debs into WORK/root (dpkg -x) and the .rpms into WORK/rpm/root (rpm2cpio | cpio),
# as a host's root would hold them once installed. The .rpms are also left in WORK/rpm/debs so that
# the scripts that take WORK read them the same way.
#
#   build_and_unpack.sh BUILD_DIR WORK_DIR
#   build_and_unpack.sh --release SOURCE_DIR WORK_DIR
# With --release the packages are the released ones, built in the older builder root by
# packaging/release-build (cached: the first run takes minutes, later ones a second).
set -euo pipefail

release=0
if [ "$1" = --release ]; then
    release=1
    shift
fi
build="$1"
work="$2"

for tool in cpack dpkg dpkg-shlibdeps rpmbuild rpm2cpio cpio; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing; install dpkg-dev, rpm and cpio (scripts/bootstrap)"; exit 1; }
done

rm -rf "$work"
mkdir -p "$work/debs" "$work/root" "$work/rpm/root"

if [ "$release" = 1 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "SKIPPED: the release build runs chrooted in the older builder root, which needs root"
        exit 77
    fi
    source_dir="$build"
    echo "building (or reusing) the released packages with $source_dir/packaging/release-build"
    if ! packages="$("$source_dir/packaging/release-build" "$source_dir")"; then
        echo "FAIL: the release build failed (its messages are above)"
        exit 1
    fi
    cp "$packages"/*.deb "$packages"/*.rpm "$work/debs/"
    cp "$packages/build.log" "$work/cpack.log"
else
    # cpack first runs the tree's preinstall target: a no-op once the tree is built, as under ctest.
    echo "building the packages with cpack into $work/debs"
    if ! cpack --config "$build/CPackConfig.cmake" -B "$work/debs" >"$work/cpack.log" 2>&1; then
        cat "$work/cpack.log"
        echo "FAIL: cpack could not build the packages (its log is above)"
        exit 1
    fi
fi

# unpack KIND INTO HINT: unpacks every package of that kind that cpack wrote into INTO.
unpack() {
    local kind="$1" into="$2" hint="$3" file
    shopt -s nullglob
    local files=("$work"/debs/*."$kind")
    shopt -u nullglob
    if [ ${#files[@]} -eq 0 ]; then
        cat "$work/cpack.log"
        echo "FAIL: cpack wrote no .$kind into $work/debs$hint"
        exit 1
    fi
    for file in "${files[@]}"; do
        echo "unpacking $(basename "$file") into $into"
        case "$kind" in
            deb) dpkg -x "$file" "$into" ;;
            rpm) (cd "$into" && rpm2cpio "$file" | cpio -idm --quiet) ;;
        esac
    done
}
unpack deb "$work/root" ""
unpack rpm "$work/rpm/root" "; is rpmbuild installed (scripts/bootstrap)?"
