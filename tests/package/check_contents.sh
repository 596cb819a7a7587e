#!/usr/bin/env bash
# The packages unpacked by build_and_unpack.sh: their names, metadata, exact file lists (the .rpms'
# the same as the .debs'), how the installed binaries find their libraries, and the installed probe
# loading the installed plug-in.
#
#   check_contents.sh WORK_DIR BUILD_DIR SOURCE_DIR LIBDIR VERSION BUILD_PROBE [RPM_LIBDIR [OLD_ABI]]
#     LIBDIR       the .debs' library folder under the prefix (e.g. lib/x86_64-linux-gnu)
#     RPM_LIBDIR   the .rpms' (lib64)
#     OLD_ABI      1 when the packages include the old-ABI plug-in (the released ones)
#     BUILD_PROBE  the build tree's mpio-probe, whose answers the installed one must repeat
set -euo pipefail

work="$1" build="$2" source="$3" libdir="$4" version="$5" build_probe="$6"
rpm_libdir="${7:-lib64}" old_abi="${8:-0}"
root="$work/root"
arch="$(dpkg --print-architecture)"
failures=0
checks=0

pass() { checks=$((checks + 1)); echo "ok   $1"; }
fail() { checks=$((checks + 1)); failures=$((failures + 1)); echo "FAIL $1"; }
expect() {  # expect DESCRIPTION COMMAND...: passes when the command succeeds
    local what="$1"; shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}

plugin_deb="$work/debs/tsmpio-hdlm-plugin_${version}_${arch}.deb"
tools_deb="$work/debs/tsmpio-hdlm-tools_${version}_${arch}.deb"
dev_deb="$work/debs/tsmpio-hdlm-plugin-dev_${version}_${arch}.deb"
old_abi_deb="$work/debs/tsmpio-hdlm-plugin-oldabi_${version}_${arch}.deb"
debs=("$plugin_deb" "$tools_deb" "$dev_deb")
[ "$old_abi" = 1 ] && debs+=("$old_abi_deb")
for deb in "${debs[@]}"; do
    [ -f "$deb" ] || { echo "FAIL $(basename "$deb") was not built; cpack wrote: $(ls "$work/debs")"; exit 1; }
done

# --- metadata ---------------------------------------------------------------------------------
field() { dpkg-deb -f "$1" "$2"; }
contains() { [[ "$1" == *"$2"* ]]; }
lacks() { [[ "$1" != *"$2"* ]]; }
has_line() { grep -Fx -- "$2" <<<"$1" >/dev/null; }

plugin_depends="$(field "$plugin_deb" Depends)"
tools_depends="$(field "$tools_deb" Depends)"
echo "plug-in package depends on: $plugin_depends"
echo "tools package depends on:   $tools_depends"
expect "plug-in package is named tsmpio-hdlm-plugin" [ "$(field "$plugin_deb" Package)" = tsmpio-hdlm-plugin ]
expect "tools package is named tsmpio-hdlm-tools" [ "$(field "$tools_deb" Package)" = tsmpio-hdlm-tools ]
expect "both packages carry version $version" \
    [ "$(field "$plugin_deb" Version)/$(field "$tools_deb" Version)" = "$version/$version" ]
expect "plug-in package depends on the C and C++ runtimes" \
    eval 'contains "$plugin_depends" libc6 && contains "$plugin_depends" libstdc++6'
expect "plug-in package does not pull in the tools or the stand-ins" lacks "$plugin_depends" tsmpio
expect "tools package depends on the plug-in of its own version" \
    contains "$tools_depends" "tsmpio-hdlm-plugin (= $version)"
expect "development package depends on the plug-in of its own version" \
    contains "$(field "$dev_deb" Depends)" "tsmpio-hdlm-plugin (= $version)"
expect "tools package depends on libblkid1 (libkpartx's partition reader)" contains "$tools_depends" libblkid1
expect "tools package depends on libfdisk1 (hdlm-sim's table writer)" contains "$tools_depends" libfdisk1

# --- exact file lists -------------------------------------------------------------------------
files_of() { dpkg-deb --fsys-tarfile "$1" | tar -t | grep -v '/$' | sed 's|^\./||' | sort; }

docs_of() { printf 'usr/share/doc/%s/copyright\nusr/share/doc/%s/changelog.gz\n' "$1" "$1"; }
expected_plugin="$(printf '%s\n' \
    "usr/$libdir/tsmpio-hdlm-plugin/libTsMPIO_HDLM.so" \
    usr/share/doc/tsmpio-hdlm-plugin/README.md
    docs_of tsmpio-hdlm-plugin)"
expected_plugin="$(sort <<<"$expected_plugin")"
expected_dev="$(echo usr/include/TsMPIO_HDLM.h; docs_of tsmpio-hdlm-plugin-dev)"
expected_dev="$(sort <<<"$expected_dev")"
expected_tools="$(
    docs_of tsmpio-hdlm-tools
    printf '%s\n' usr/bin/mpio-probe \
        "usr/$libdir/tsmpio-hdlm/libTsLib.so" \
        "usr/$libdir/tsmpio-hdlm/libZoUtils.so" \
        "usr/$libdir/tsmpio-hdlm/libkpartx.so"
    echo usr/share/man/man1/mpio-probe.1.gz
    printf '%s\n' usr/bin/hdlm-sim usr/share/man/man1/hdlm-sim.1.gz
    [ "$old_abi" = 1 ] && printf "usr/$libdir/tsmpio-hdlm/old-abi/%s\n" libTsLib.so libZoUtils.so libkpartx.so
    for t in "$source"/sim/topologies/*.json; do
        [ -e "$t" ] && echo "usr/share/tsmpio-hdlm/topologies/$(basename "$t")"
    done
    true)"
expected_tools="$(sort <<<"$expected_tools")"

runpath() { readelf -d "$1" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p'; }
compare_list() {  # compare_list PACKAGE EXPECTED ACTUAL
    if [ "$2" = "$3" ]; then
        pass "$1 holds exactly the expected files"
    else
        fail "$1 file list differs (- expected, + packaged):"
        diff <(echo "$2") <(echo "$3") | grep '^[<>]' | sed 's/^</    -/; s/^>/    +/'
    fi
}
compare_list tsmpio-hdlm-plugin "$expected_plugin" "$(files_of "$plugin_deb")"
compare_list tsmpio-hdlm-tools "$expected_tools" "$(files_of "$tools_deb")"
compare_list tsmpio-hdlm-plugin-dev "$expected_dev" "$(files_of "$dev_deb")"
expected_old_abi="$(echo "usr/$libdir/tsmpio-hdlm-plugin-oldabi/libTsMPIO_HDLM.so"; docs_of tsmpio-hdlm-plugin-oldabi)"
expected_old_abi="$(sort <<<"$expected_old_abi")"
if [ "$old_abi" = 1 ]; then
    compare_list tsmpio-hdlm-plugin-oldabi "$expected_old_abi" "$(files_of "$old_abi_deb")"
    expect "old-ABI plug-in package says which agents it serves" \
        contains "$(field "$old_abi_deb" Description)" "old std::string ABI"
fi

# --- the .rpms: the same components, files and RUNPATHs, requirements from their ELF files -----
# An RPM host's library folder, and its development packages' suffix.
as_rpm() { sed "s|^usr/$libdir/|usr/$rpm_libdir/|; s|/tsmpio-hdlm-plugin-dev/|/tsmpio-hdlm-plugin-devel/|" <<<"$1" | sort; }
rpm_of() { local found=("$work"/debs/"$1"-"$version"-*.rpm); [ -f "${found[0]}" ] && echo "${found[0]}"; }
dev_rpm="$(rpm_of tsmpio-hdlm-plugin-devel)" || { echo "FAIL tsmpio-hdlm-plugin-devel .rpm was not built; cpack wrote: $(ls "$work/debs")"; exit 1; }
plugin_rpm="$(rpm_of tsmpio-hdlm-plugin)" || { echo "FAIL tsmpio-hdlm-plugin .rpm was not built; cpack wrote: $(ls "$work/debs")"; exit 1; }
tools_rpm="$(rpm_of tsmpio-hdlm-tools)" || { echo "FAIL tsmpio-hdlm-tools .rpm was not built; cpack wrote: $(ls "$work/debs")"; exit 1; }
rpm_files_of() { rpm -qp --qf '[%{FILEMODES:perms} %{FILENAMES}\n]' "$1" | sed -n 's|^-[^ ]* /||p' | sort; }
compare_list "tsmpio-hdlm-plugin .rpm" "$(as_rpm "$expected_plugin")" "$(rpm_files_of "$plugin_rpm")"
compare_list "tsmpio-hdlm-tools .rpm" "$(as_rpm "$expected_tools")" "$(rpm_files_of "$tools_rpm")"
compare_list "tsmpio-hdlm-plugin-devel .rpm" "$(as_rpm "$expected_dev")" "$(rpm_files_of "$dev_rpm")"
if [ "$old_abi" = 1 ]; then
    old_abi_rpm="$(rpm_of tsmpio-hdlm-plugin-oldabi)" || { echo "FAIL tsmpio-hdlm-plugin-oldabi .rpm was not built"; exit 1; }
    compare_list "tsmpio-hdlm-plugin-oldabi .rpm" "$(as_rpm "$expected_old_abi")" "$(rpm_files_of "$old_abi_rpm")"
fi
expect "the .rpms own no folder of the host's filesystem package" eval '! rpm -qp --qf "[%{FILEMODES:perms} %{FILENAMES}\n]" "$plugin_rpm" "$tools_rpm" "$dev_rpm" |
    grep -E "^d.* /usr(/$rpm_libdir|/lib|/bin|/include|/share|/share/doc|/share/man|/share/man/man1)?$"'
for pair in "$plugin_rpm:$plugin_deb" "$tools_rpm:$tools_deb" "$dev_rpm:$dev_deb"; do
    expect "$(basename "${pair%%:*}") has the .deb's summary ($(field "${pair#*:}" Description | head -n 1))" \
        [ "$(rpm -qp --qf '%{SUMMARY}' "${pair%%:*}")" = "$(field "${pair#*:}" Description | head -n 1)" ]
done
expect "development .rpm requires the plug-in of its own version" \
    has_line "$(rpm -qp --requires "$dev_rpm")" "tsmpio-hdlm-plugin = $version"
expect "both .rpms carry version $version" [ "$(rpm -qp --qf '%{VERSION}/' "$plugin_rpm" "$tools_rpm")" = "$version/$version/" ]
plugin_requires="$(rpm -qp --requires "$plugin_rpm")"
tools_requires="$(rpm -qp --requires "$tools_rpm")"
echo "plug-in .rpm requires: $(echo $plugin_requires)"
echo "tools .rpm requires:   $(echo $tools_requires)"
expect "plug-in .rpm requires the C and C++ runtimes by symbol version" \
    eval 'grep -q "^libc.so.6(GLIBC_" <<<"$plugin_requires" && grep -q "^libstdc++.so.6(" <<<"$plugin_requires"'
expect "tools .rpm requires the plug-in of its own version" has_line "$tools_requires" "tsmpio-hdlm-plugin = $version"
expect "tools .rpm requires libblkid (libkpartx's partition reader)" contains "$tools_requires" libblkid.so.1
for lib in libTsLib libZoUtils libkpartx; do
    expect ".rpms neither require nor offer the host's $lib (the agent brings its own)" \
        eval 'lacks "$plugin_requires$tools_requires" "$lib" && lacks "$(rpm -qp --provides "$tools_rpm")" "$lib"'
done
for file in "usr/$libdir/tsmpio-hdlm-plugin/libTsMPIO_HDLM.so" usr/bin/mpio-probe; do
    expect "$file from the .rpm has the .deb's RUNPATH" \
        [ "$(runpath "$work/rpm/root/$(as_rpm "$file")")" = "$(runpath "$root/$file")" ]
done

# The stand-ins must never land where the loader would find them for a host's plug-in.
for lib in libTsLib.so libZoUtils.so libkpartx.so; do
    where="$(cd "$root" && find . -name "$lib*" | sed 's|^\./||' | sort)"
    allowed="usr/$libdir/tsmpio-hdlm/$lib"
    [ "$old_abi" = 1 ] && allowed+=$'\n'"usr/$libdir/tsmpio-hdlm/old-abi/$lib"
    expect "$lib is installed only in the private folder usr/$libdir/tsmpio-hdlm" \
        [ "$where" = "$(sort <<<"$allowed")" ]
done

# --- how the installed binaries find their libraries ------------------------------------------
probe_runpath="\$ORIGIN/../$libdir/tsmpio-hdlm:\$ORIGIN/../$rpm_libdir/tsmpio-hdlm"
installed_plugin="$root/usr/$libdir/tsmpio-hdlm-plugin/libTsMPIO_HDLM.so"
expect "installed plug-in keeps RUNPATH \$ORIGIN (got '$(runpath "$installed_plugin")')" \
    [ "$(runpath "$installed_plugin")" = '$ORIGIN' ]
expect "installed probe finds the stand-ins by RUNPATH $probe_runpath, the .deb's folder then the .rpm's (got '$(runpath "$root/usr/bin/mpio-probe")')" \
    [ "$(runpath "$root/usr/bin/mpio-probe")" = "$probe_runpath" ]
leaks=""
while IFS= read -r elf; do
    if readelf -d "$elf" | grep -F "$build" >/dev/null; then leaks+=" ${elf#"$root"/}"; fi
done < <(find "$root" -type f \( -name '*.so' -o -path '*/bin/*' \))
expect "no installed binary refers to the build tree $build${leaks:+ (found in:$leaks)}" [ -z "$leaks" ]
ldd_out="$(env -u LD_LIBRARY_PATH ldd "$root/usr/bin/mpio-probe")"
for lib in libTsLib.so libZoUtils.so libkpartx.so; do
    found="$(awk -v lib="$lib" '$1 == lib && $2 == "=>" {print $3}' <<<"$ldd_out")"
    [ -n "$found" ] && found="$(realpath -m "$found")"
    expect "installed probe loads $lib from the private folder (ldd: ${found:-not found})" \
        [ "$found" = "$root/usr/$libdir/tsmpio-hdlm/$lib" ]
done

# --- the installed probe runs the installed plug-in -------------------------------------------
status=0
installed_out="$(env -u LD_LIBRARY_PATH "$root/usr/bin/mpio-probe" --no-init vendor 2>&1)" || status=$?
echo "$installed_out" | sed 's/^/    | /'
expect "installed 'mpio-probe --no-init vendor' exits 0 (got $status)" [ "$status" -eq 0 ]
expect "installed probe loads the installed plug-in by default" \
    has_line "$installed_out" "plug-in: $installed_plugin"
build_out="$("$build_probe" --no-init vendor 2>&1 || true)"
expect "installed probe answers as the build tree's does" \
    [ "$(grep -v '^plug-in: ' <<<"$installed_out")" = "$(grep -v '^plug-in: ' <<<"$build_out")" ]

# --- the manual pages --------------------------------------------------------------------------
# Each page renders, and lists every subcommand that the installed tool's --help lists.
subcommands_in_help() {  # the first word of each line under --help's "Subcommands:" heading
    awk 'tolower($0) ~ /^subcommands:$/ {on = 1; next} on && /^$/ {exit} on {print $1}'
}
subcommands_on_page() {  # the items of the rendered page's "Subcommands:" subsection
    awk 'tolower($0) ~ /^ +subcommands:$/ {on = 1; next} on && /^ {0,3}[^ ]/ {exit}
         on && /^ {7}[^ ]/ {print $1}'
}
for tool in mpio-probe hdlm-sim; do
    page="$root/usr/share/man/man1/$tool.1.gz"
    rendered="$(MANWIDTH=100 man -l "$page" 2>&1)" || rendered=""
    expect "man -l renders $tool.1.gz with its NAME line" \
        grep -q "^ *$tool - " <<<"$rendered"
    help_list="$(env -u LD_LIBRARY_PATH "$root/usr/bin/$tool" --help 2>&1 | subcommands_in_help)"
    page_list="$(subcommands_on_page <<<"$rendered")"
    expect "$tool --help lists subcommands ($(echo $help_list))" [ -n "$help_list" ]
    for sub in $help_list; do
        expect "$tool.1 lists the subcommand $sub under Subcommands" has_line "$page_list" "$sub"
    done
done

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
