#!/bin/sh
# Builds the table generator against the system ICU and rewrites the
# generated tables of the ASCII-based code pages.
# Run from the project root.
set -e
out=$(mktemp -d)
g++ -std=c++17 -O1 -Wall -Wextra -o "$out/gen" \
    tools/gen_voz_ascii_tables/gen_voz_ascii_tables.cpp \
    $(pkg-config --cflags --libs icu-uc)
"$out/gen" > source/itl_base/characters/tables/voz_cptab_ascii.cpp
rm -rf "$out"
