#!/bin/bash
# check_layers.sh -- verifies the engine's layering: a file under
# source/itl_base/<layer>/ includes only headers of its own layer or of a
# lower one. Lowest first:
#   files < characters < blocks < postings < build < search < calls
# Prints each offending include and exits 1 when there is one.
# Run from the project's root:  bash tools/check_layers.sh
set -euo pipefail
cd "$(dirname "$0")/.."
find source/itl_base -mindepth 2 -name '*.[ch]pp' | sort |
    xargs grep -H '^#include "' |
    awk -F: '
        BEGIN {
            n = split("files characters blocks postings build search calls", L, " ")
            for (i = 1; i <= n; ++i) rank[L[i]] = i
            bad = 0
        }
        {
            file = $1
            own = file; sub(/^source\/itl_base\//, "", own); sub(/\/.*/, "", own)
            inc = $2; sub(/^#include "/, "", inc); sub(/".*/, "", inc)
            layer = inc; sub(/\/.*/, "", layer)
            if ((layer in rank) && (own in rank) && rank[layer] > rank[own]) {
                printf "%s: includes %s (layer %s is above %s)\n", file, inc, layer, own
                bad = 1
            }
        }
        END { exit bad }'
