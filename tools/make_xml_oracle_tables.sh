#!/bin/bash
# Regenerates the expected-field tables of the XML parser's tests from
# Python's xml.sax (tools/xml_field_oracle.py). Run from the project's root
# on a machine with the packages fontconfig-config, iso-codes and
# shared-mime-info; tables of absent files are left out, and the tests skip
# documents whose size and hash differ from the table's.
set -euo pipefail
cd "$(dirname "$0")/.."
out=tests/itl_dl/data/xml
args=("mixed=$out/mixed.xml")
for pair in fonts.conf=/etc/fonts/fonts.conf \
            iso_3166-1.xml=/usr/share/xml/iso-codes/iso_3166-1.xml \
            freedesktop.org.xml=/usr/share/mime/packages/freedesktop.org.xml; do
  [ -f "${pair#*=}" ] && args+=("$pair")
done
python3 tools/xml_field_oracle.py "${args[@]}" > $out/oracle_nomodel.txt
if [ -f /usr/share/mime/packages/freedesktop.org.xml ]; then
  python3 tools/xml_field_oracle.py --model \
    freedesktop.org.xml=/usr/share/mime/packages/freedesktop.org.xml \
    mixed=$out/mixed.xml > $out/oracle_model.txt
fi
