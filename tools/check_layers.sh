#!/bin/bash
# check_layers.sh -- verifies the engine's layering: a file under
# source/itl_base/<layer>/ includes only headers of its own layer or of a
# lower one. Lowest first:
#   files < characters < blocks < postings < build < search < calls
# Prints each offending include and exits 1 when there is one.
# Run from the project's root:  bash tools/check_layers.sh
set -euo pipefail
cd "$(dirname "$0")/.."
layers=(files characters blocks postings build search calls)
rank() {
    local i
    for i in "${!layers[@]}"; do
        [[ ${layers[$i]} == "$1" ]] && { echo "$i"; return; }
    done
    echo -1
}
bad=0
while IFS= read -r file; do
    own=${file#source/itl_base/}
    own=${own%%/*}
    r=$(rank "$own")
    while IFS= read -r inc; do
        l=${inc%%/*}
        ri=$(rank "$l")
        [[ $ri -lt 0 ]] && continue
        if [[ $ri -gt $r ]]; then
            echo "$file: includes $inc (layer $l is above $own)"
            bad=1
        fi
    done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(find source/itl_base -mindepth 2 -name '*.[ch]pp' | sort)
exit $bad
