#!/bin/bash
# check_layers.sh -- verifies the layering of the libraries' folders: a
# source file includes only headers of its own folder or of a lower one.
#
# Folders, lowest first:
#   cos < itl_base < itl_common < itl_expat < itl_tl < itl_dl
#       < itl_index < itl_api
# Inside itl_base, the engine's layers, lowest first:
#   files < characters < blocks < postings < build < search < calls
# itl_cnet (the thesaurus) may include any folder of the index library;
# migration_tool (vqxmaptool) only cos, its own folder, headers/itl_test
# and the public C headers of the index library (headers/itl_api/*.h and
# the code sets itl_codes.h they include): it links the shared libraries.
# No folder of the index library includes theirs.
#
# A header belongs to the folder it lives in: cos/headers -> cos,
# headers/<dir> and source/<dir> -> <dir>, an engine header is named
# "<layer>/<file>" from source/itl_base.
# Prints each offending include and exits 1 when there is one.
# Run from the project's root:  bash tools/check_layers.sh
set -euo pipefail
cd "$(dirname "$0")/.."

# Owner folder of every header, by the name it is included as.
{
    find cos -name '*.h' -o -name '*.hpp' | sed 's|.*/||; s|$| cos|'
    for d in headers/* source/*; do
        [ -d "$d" ] || continue
        dir=${d##*/}
        [ "$dir" = itl_base ] && continue
        find "$d" -maxdepth 1 \( -name '*.h' -o -name '*.hpp' \) | sed "s|.*/||; s|\$| $dir|"
    done
} > /tmp/check_layers.owners.$$
trap 'rm -f /tmp/check_layers.owners.$$' EXIT

find source -name '*.[ch]pp' -o -name '*.h' -o -name '*.c' | sort |
    xargs grep -H '^#include "' |
    awk -F: -v owners=/tmp/check_layers.owners.$$ '
        BEGIN {
            n = split("cos itl_base itl_common itl_expat itl_tl itl_dl itl_index itl_search itl_api", F, " ")
            for (i = 1; i <= n; ++i) frank[F[i]] = i
            frank["itl_cnet"] = 100; frank["migration_tool"] = 100
            n = split("files characters blocks postings build search calls", L, " ")
            for (i = 1; i <= n; ++i) lrank[L[i]] = i
            while ((getline line < owners) > 0) {
                split(line, p, " ")
                if (!(p[1] in owner)) owner[p[1]] = p[2]
            }
            bad = 0
        }
        {
            file = $1
            own = file; sub(/^source\//, "", own); sub(/\/.*/, "", own)
            inc = $2; sub(/^#include "/, "", inc); sub(/".*/, "", inc)
            if (own == "itl_base") {
                ownl = file; sub(/^source\/itl_base\//, "", ownl); sub(/\/.*/, "", ownl)
                layer = inc; sub(/\/.*/, "", layer)
                if ((layer in lrank) && (ownl in lrank) && lrank[layer] > lrank[ownl]) {
                    printf "%s: includes %s (layer %s is above %s)\n", file, inc, layer, ownl
                    bad = 1
                }
                if (!(layer in lrank) && (inc in owner) && owner[inc] != "cos") {
                    printf "%s: includes %s (folder %s is above itl_base)\n", file, inc, owner[inc]
                    bad = 1
                }
                next
            }
            if (own == "migration_tool") {
                dep = (inc in owner) ? owner[inc] : ""
                if (!(dep == "" || dep == "cos" || dep == "migration_tool" || dep == "itl_test" ||
                      (dep == "itl_api" && inc ~ /\.h$/) || inc == "itl_codes.h")) {
                    printf "%s: includes %s (the tool uses only cos and the public itl headers)\n", file, inc
                    bad = 1
                }
                next
            }
            if (index(inc, "/") > 0) {
                layer = inc; sub(/\/.*/, "", layer)
                if (layer in lrank) dep = "itl_base"; else next
            } else if (inc in owner) {
                dep = owner[inc]
            } else {
                next
            }
            if (!(own in frank) || !(dep in frank)) next
            if (frank[dep] > frank[own]) {
                printf "%s: includes %s (folder %s is above %s)\n", file, inc, dep, own
                bad = 1
            }
        }
        END { exit bad }'
