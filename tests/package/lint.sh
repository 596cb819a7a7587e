#!/usr/bin/env bash
# The packages against their formats' conventions: lintian on the .debs, rpmlint on the .rpms.
# Any error not in the allow-list fails; warnings are shown.
#
#   lint.sh WORK_DIR SOURCE_DIR   (the packages are in WORK_DIR/debs)
set -euo pipefail

work="$1" source_dir="$2"
allow="$source_dir/packaging/lint-allow"
for tool in lintian rpmlint; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing; install it (scripts/bootstrap)"; exit 1; }
done
shopt -s nullglob
debs=("$work"/debs/*.deb)
rpms=("$work"/debs/*.rpm)
[ ${#debs[@]} -gt 0 ] && [ ${#rpms[@]} -gt 0 ] || { echo "FAIL: no .deb or no .rpm in $work/debs"; exit 1; }

allowed() {  # allowed TOOL TAG
    awk -v tool="$1" -v tag="$2" '$1 == tool && $2 == tag {found = 1} END {exit !found}' "$allow"
}

failures=0
# check TOOL OUTPUT: each error line's tag is the word after "E: " (lintian names the package first)
check() {
    local tool="$1" output="$2" line tag
    while IFS= read -r line; do
        case "$line" in
            *" E: "* | E:*)
                tag="$(sed -E 's/^.*E: //' <<<"$line" | awk '{print $1}')"
                # lintian: "E: PACKAGE: TAG ..."; rpmlint: "PACKAGE.ARCH: E: TAG ..."
                [ "$tool" = lintian ] && tag="$(awk '{print $3}' <<<"$line")"
                if allowed "$tool" "$tag"; then
                    echo "allowed  $line"
                else
                    failures=$((failures + 1))
                    echo "FAIL     $line"
                fi
                ;;
            *" W: "* | W:*) echo "warning  $line" ;;
        esac
    done <<<"$output"
}

echo "lintian --allow-root on $(cd "$work/debs" && echo *.deb)"
check lintian "$(lintian --allow-root "${debs[@]}" 2>&1 || true)"
echo "rpmlint on $(cd "$work/debs" && echo *.rpm)"
check rpmlint "$(rpmlint -c "$source_dir/packaging/rpmlint.toml" "${rpms[@]}" 2>&1 || true)"
if [ "$failures" -ne 0 ]; then
    echo "FAIL: $failures error(s) not in $allow; fix the packaging, or add TOOL TAG REASON there if the integrator must settle it"
    exit 1
fi
echo "ok: no error beyond the allow-list"
