#!/usr/bin/env bash
# The ABI pin must fail on every kind of change a host would feel. Rebuilding the plug-in with each
# change is slow, so the changes are made to a copy of the baseline instead: comparing the real
# library with a baseline that differs in one point is the same comparison seen from the other side.
#
#   check_catches_changes.sh ABI_PIN LIBRARY BASELINE
set -euo pipefail

abi_pin="$1"
library="$2"
baseline="$3"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

# The id the baseline gives to plain int, for a field whose type changes but not its size.
int_id="$(sed -n "s/.*<type-decl name='int' size-in-bits='32' id='\([^']*\)'.*/\1/p" "$baseline" | head -n 1)"

# Each case: a name and a sed program that changes the baseline copy in one point.
cases=(
    "TsPartInfo field changes type, same size|s/\(<var-decl name='devMajor' type-id='\)[^']*'/\1${int_id}'/"
    "TsPartInfo field renamed|s/<var-decl name='devMinor' /<var-decl name='devMinorNumber' /"
    "TsPartInfo grows|s/\(<class-decl name='TsPartInfo' size-in-bits='\)8512'/\18576'/"
    "TsPartInfo field moved|s/layout-offset-in-bits='8480'/layout-offset-in-bits='8488'/"
    "exported function renamed (one removed, one added)|s/'refreshMPIO'/'refreshMPIOs'/g"
    "exported variable removed|s/'bVerboseLogging'/'bVerboseLoggingOld'/g"
    "entry point loses a parameter|/<function-decl name='isMPIODevice'/{n;/<parameter /d}"
)

# Each case means something only if the unchanged baseline compares clean.
status=0
"$abi_pin" check "$library" "$baseline" >"$scratch/out" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
    cat "$scratch/out"
    [ "$status" -eq 77 ] && { echo "SKIPPED: no debug information to compare"; exit 77; }
    echo "FAIL: the library already differs from the pinned baseline (see abi.matches_baseline)"
    exit 1
fi

passed=0
failed=0
for entry in "${cases[@]}"; do
    name="${entry%%|*}"
    program="${entry#*|}"
    changed="$scratch/changed.abi"
    sed "$program" "$baseline" >"$changed"
    if cmp -s "$baseline" "$changed"; then
        echo "FAIL [$name]: the edit did not apply to the baseline; update this case to its new layout"
        failed=$((failed + 1))
        continue
    fi
    status=0
    "$abi_pin" check "$library" "$changed" >"$scratch/out" 2>&1 || status=$?
    if [ "$status" -eq 1 ]; then
        echo "ok   [$name]: abi-check fails as it should"
        passed=$((passed + 1))
    else
        echo "FAIL [$name]: abi-check returned $status, expected 1 (ABI changed); its output:"
        sed 's/^/    /' "$scratch/out"
        failed=$((failed + 1))
    fi
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
