#!/usr/bin/env bash
# The .rpms installed into RPM databases shaped like the RPM hosts HDLM runs on. Each host is a
# scratch root with a fresh database holding two stub packages: the release's `filesystem` (the
# /lib, /lib64, /bin, /sbin links into /usr and the standard folders) and its runtime (Provides: of
# each soname and symbol version that release's glibc, libgcc_s, libstdc++ and util-linux define).
# rpm then resolves requirements and file conflicts as that host would:
#   EL8, EL9, SLES 15 SP4  the plug-in, development, tools and old-ABI plug-in packages install
#                          together, their libraries under /usr/lib64
#   EL7                    the old-ABI plug-in installs; the plug-in is refused, naming the GLIBCXX
#                          version RHEL 7's libstdc++ lacks
# The packages have no scriptlets (checked here), so none runs in the scratch roots.
#
#   rpm_hosts.sh WORK_DIR PACKAGES_DIR VERSION
set -euo pipefail

work="$1" packages="$2" version="$3"
for tool in rpm rpmbuild; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing; install rpm (scripts/bootstrap)"; exit 1; }
done
if [ "$(id -u)" -ne 0 ]; then
    echo "SKIPPED: installing into scratch RPM roots needs root (file ownership)"
    exit 77
fi
rm -rf "$work"
mkdir -p "$work/stubs"

# host  glibc  libgcc_s  GLIBCXX  CXXABI  util-linux (libblkid, libfdisk; "-" for none)
hosts=(
    "el7       2.17 4.8.0 3.4.19 1.3.7  2.23 -"
    "el8       2.28 7.0.0 3.4.25 1.3.11 2.32 2.32"
    "el9       2.34 7.0.0 3.4.29 1.3.13 2.37 2.37"
    "sles15sp4 2.31 7.0.0 3.4.30 1.3.13 2.37 2.37"
)
# The symbol versions each library defines on x86_64, oldest first; a release provides those up
# to its own.
glibc_versions="2.2.5 2.2.6 2.3 2.3.2 2.3.3 2.3.4 2.4 2.5 2.6 2.7 2.8 2.9 2.10 2.11 2.12 2.13 2.14
    2.15 2.16 2.17 2.18 2.22 2.23 2.24 2.25 2.26 2.27 2.28 2.29 2.30 2.31 2.32 2.33 2.34 2.35 2.36"
gcc_versions="3.0 3.3 3.3.1 3.4 3.4.2 3.4.4 4.0.0 4.2.0 4.3.0 4.4.0 4.7.0 4.8.0 7.0.0"
blkid_versions="1.0 2.15 2.17 2.18 2.20 2.21 2.23 2.25 2.30 2.31 2.36 2.37"
fdisk_versions="2.26 2.27 2.28 2.29 2.30 2.31 2.32 2.33 2.35 2.36 2.37"
series() {  # series FIRST LAST: FIRST.0 is the bare prefix; 3.4 3.4.1 ... 3.4.N
    local base="$1" last="$2" i
    echo "$base"
    for ((i = 1; i <= last; i++)); do echo "$base.$i"; done
}
up_to() {  # up_to LIMIT VERSION...: the versions not newer than LIMIT
    local limit="$1" v
    shift
    for v in "$@"; do
        [ "$(printf '%s\n%s\n' "$v" "$limit" | sort -V | tail -n 1)" = "$limit" ] && echo "$v"
    done
    return 0
}

stub() {  # stub NAME TAGS SECTIONS: builds WORK/stubs/NAME.rpm (no payload but folders and links)
    local name="$1" tags="$2" sections="$3"
    cat >"$work/stubs/$name.recipe" <<EOF
Name: $name
Version: 1
Release: 1
Summary: Stand-in for an RPM host's $name
License: none
BuildArch: x86_64
$tags
%description
Stand-in for an RPM host's $name, for installing packages into a scratch RPM database.
$sections
EOF
    rpmbuild -bb --quiet --define "_topdir $work/stubs/top" --define "_rpmdir $work/stubs" \
        --define "_build_id_links none" --define "__os_install_post %{nil}" \
        "$work/stubs/$name.recipe" >"$work/stubs/$name.log" 2>&1 ||
        { cat "$work/stubs/$name.log" >&2; echo "FAIL: rpmbuild could not make the stub $name" >&2; return 1; }
    find "$work/stubs" -name "$name-1-1.*.rpm" | head -n 1
}

# The filesystem every release has: merged /usr and the standard folders, owned by the host.
folders="/usr /usr/bin /usr/sbin /usr/lib /usr/lib64 /usr/include /usr/share /usr/share/doc
    /usr/share/man /usr/share/man/man1"
filesystem="$(stub filesystem "Provides: filesystem" "%install
$(for f in $folders; do echo "mkdir -p %{buildroot}$f"; done)
ln -s usr/lib %{buildroot}/lib; ln -s usr/lib64 %{buildroot}/lib64
ln -s usr/bin %{buildroot}/bin; ln -s usr/sbin %{buildroot}/sbin
%files
/lib
/lib64
/bin
/sbin
$(for f in $folders; do echo "%dir $f"; done)")" || exit 1

runtime() {  # runtime HOST GLIBC GCC GLIBCXX CXXABI BLKID FDISK: the stub of that release's runtime
    local host="$1" glibc="$2" gcc="$3" glibcxx="$4" cxxabi="$5" blkid="$6" fdisk="$7" lib v provides
    provides="Provides: /bin/sh
Provides: rtld(GNU_HASH)"
    for lib in libc.so.6 libm.so.6 libdl.so.2 libpthread.so.0 librt.so.1 ld-linux-x86-64.so.2; do
        provides+=$'\n'"Provides: $lib()(64bit)"
        for v in $(up_to "$glibc" $glibc_versions); do provides+=$'\n'"Provides: $lib(GLIBC_$v)(64bit)"; done
    done
    provides+=$'\n'"Provides: libgcc_s.so.1()(64bit)"
    for v in $(up_to "$gcc" $gcc_versions); do provides+=$'\n'"Provides: libgcc_s.so.1(GCC_$v)(64bit)"; done
    provides+=$'\n'"Provides: libstdc++.so.6()(64bit)"
    for v in $(series 3.4 "${glibcxx##*.}"); do provides+=$'\n'"Provides: libstdc++.so.6(GLIBCXX_$v)(64bit)"; done
    for v in $(series 1.3 "${cxxabi##*.}"); do provides+=$'\n'"Provides: libstdc++.so.6(CXXABI_$v)(64bit)"; done
    provides+=$'\n'"Provides: libblkid.so.1()(64bit)"
    for v in $(up_to "$blkid" $blkid_versions); do provides+=$'\n'"Provides: libblkid.so.1(BLKID_$v)(64bit)"; done
    if [ "$fdisk" != - ]; then
        provides+=$'\n'"Provides: libfdisk.so.1()(64bit)"
        for v in $(up_to "$fdisk" $fdisk_versions); do provides+=$'\n'"Provides: libfdisk.so.1(FDISK_$v)(64bit)"; done
    fi
    stub "runtime-$host" "$provides" "%files"
}

package() {  # package NAME: the release's .rpm of that package
    local found=("$packages"/"$1"-"$version"-1.*.rpm)
    [ -f "${found[0]}" ] || { echo "FAIL: $1-$version .rpm is not in $packages" >&2; exit 1; }
    echo "${found[0]}"
}
plugin="$(package tsmpio-hdlm-plugin)"
devel="$(package tsmpio-hdlm-plugin-devel)"
tools="$(package tsmpio-hdlm-tools)"
old_abi="$(package tsmpio-hdlm-plugin-oldabi)"

failures=0
pass() { echo "ok   $1"; }
fail() { failures=$((failures + 1)); echo "FAIL $1"; }

for package in "$plugin" "$devel" "$tools" "$old_abi"; do
    scripts="$(rpm -qp --scripts "$package" 2>/dev/null)"
    if [ -z "$scripts" ]; then pass "$(basename "$package") has no scriptlets"; else
        fail "$(basename "$package") has scriptlets:"; sed 's/^/    | /' <<<"$scripts"; fi
done

install_into() {  # install_into ROOT PACKAGE...: rpm -i as the host would, its output on stdout
    rpm --root "$1" --dbpath /var/lib/rpm -i --noscripts "${@:2}" 2>&1
}

for row in "${hosts[@]}"; do
    read -r host glibc gcc glibcxx cxxabi blkid fdisk <<<"$row"
    root="$work/$host"
    mkdir -p "$root"
    rpm --root "$root" --dbpath /var/lib/rpm --initdb
    runtime_stub="$(runtime "$host" "$glibc" "$gcc" "$glibcxx" "$cxxabi" "$blkid" "$fdisk")" || exit 1
    stubs=("$filesystem" "$runtime_stub")
    rpm --root "$root" --dbpath /var/lib/rpm -i --nodeps --noscripts "${stubs[@]}" >/dev/null 2>&1 ||
        { fail "$host: the stub packages did not install"; continue; }
    echo "--- $host: glibc $glibc, GLIBCXX_$glibcxx, CXXABI_$cxxabi, util-linux $blkid"
    if [ "$host" = el7 ]; then
        if out="$(install_into "$root" "$old_abi")"; then
            pass "$host: the old-ABI plug-in installs with every requirement resolved"
        else
            fail "$host: the old-ABI plug-in was refused:"; sed 's/^/    | /' <<<"$out"
        fi
        if out="$(install_into "$root" "$plugin")"; then
            fail "$host: the plug-in installed, though RHEL 7's libstdc++ ends at GLIBCXX_$glibcxx"
        elif grep -Eq 'libstdc\+\+\.so\.6\(GLIBCXX_3\.4\.(2[0-9]|[3-9][0-9])\)\(64bit\) is needed' <<<"$out"; then
            pass "$host: the plug-in is refused: $(grep -m1 GLIBCXX <<<"$out" | sed 's/^[[:space:]]*//')"
        else
            fail "$host: the plug-in was refused, but not for a GLIBCXX version:"; sed 's/^/    | /' <<<"$out"
        fi
        installed=("$old_abi")
    else
        if out="$(install_into "$root" "$plugin" "$devel" "$tools" "$old_abi")"; then
            pass "$host: plug-in, development, tools and old-ABI plug-in packages install with every requirement resolved"
        else
            fail "$host: rpm refused the packages:"; sed 's/^/    | /' <<<"$out"
        fi
        installed=("$plugin" "$tools" "$old_abi")
    fi
    for package in "${installed[@]}"; do
        name="$(rpm -qp --qf '%{NAME}' "$package")"
        libs="$(rpm --root "$root" --dbpath /var/lib/rpm -ql "$name" | grep '\.so$' || true)"
        outside="$(grep -v '^/usr/lib64/' <<<"$libs" || true)"
        if [ -n "$libs" ] && [ -z "$outside" ]; then
            pass "$host: $name's libraries are under /usr/lib64 ($(echo $libs | wc -w))"
        else
            fail "$host: $name installed libraries outside /usr/lib64:${outside:- none installed}"
        fi
    done
done

[ "$failures" -eq 0 ]
