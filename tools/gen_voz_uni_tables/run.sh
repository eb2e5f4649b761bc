#!/bin/sh
# Builds the table generator against the system ICU and rewrites the
# generated tables of the UTF-8, EUC and EBCDIC normalisers.
# Run from the project root.
set -e
out=$(mktemp -d)
g++ -std=c++17 -O1 -Wall -Wextra -o "$out/gen" \
    tools/gen_voz_uni_tables/gen_voz_uni_tables.cpp \
    $(pkg-config --cflags --libs icu-uc icu-i18n)
"$out/gen" .
rm -rf "$out"
