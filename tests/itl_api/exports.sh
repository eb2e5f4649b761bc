#!/bin/bash
# exports.sh <library> <header>...: every function declared ITL_API_EXPORT
# in the headers is exported by the library under its plain (unmangled)
# name, and no other symbol of the API folder's helpers (itlApi...) is.
set -euo pipefail
lib=$1; shift
symbols=$(nm -D --defined-only "$lib" | awk '{print $3}')
bad=0
for name in $(cat "$@" | tr '\n' ' ' | grep -o 'ITL_API_EXPORT[^;]*(' |
              sed 's/($//; s/.*[ *]//' | sort -u); do
    if ! grep -qx "$name" <<<"$symbols"; then
        echo "not exported: $name"; bad=1
    fi
done
if grep -q '^itlApi' <<<"$symbols"; then
    echo "helpers exported:"; grep '^itlApi' <<<"$symbols"; bad=1
fi
exit $bad
