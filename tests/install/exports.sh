#!/bin/bash
# exports.sh <source dir> <library>...: every symbol that nm -D
# --defined-only lists for a shared library is one that the library exports
# on purpose:
#   libqorsvc   the services (Cos*, cos*, with their typeinfo, vtables and
#               thunks), the string helpers of cos_string.hpp and the trace
#               instance pointer gs_pclCosTraceInstance, the message
#               table gs_apszCosMessageTable;
#   libvqxtext  the functions declared ITL_API_EXPORT in headers/itl_api
#               (plain names from the *.h files, C++ functions from the *.hpp
#               files), the engine calls (GTR*, VOZ_*, VOZStemUtil,
#               itlGetEngineType, voz_ClearStatus) and the members, typeinfo,
#               vtables and thunks of the classes declared in headers/itl_common;
#   libvqxthes  vozCNET*, itlThesaurus* and the lookup handle functions.
# Prints each symbol outside its rule and fails.
set -euo pipefail
src=$1; shift
api=$src/headers/itl_api
declared() {  # names declared ITL_API_EXPORT in the files given
    cat "$@" | tr '\n' ' ' | grep -o 'ITL_API_EXPORT[^;(#]*(' |
        sed 's/($//; s/.*[ *&]//' | sort -u
}
c_names=$(declared "$api"/*.h)
cxx_names=$(declared "$api"/*.hpp | paste -sd'|')
classes=$(grep -h -o -E '^(class|struct) Itl[A-Za-z0-9_]+[^;{]*\{' "$src"/headers/itl_common/*.hpp |
          awk '{print $2}' | sort -u | paste -sd'|')
special='(typeinfo for|typeinfo name for|vtable for|VTT for|guard variable for|non-virtual thunk to|virtual thunk to) '

bad=0
for lib in "$@"; do
    case $(basename "$lib") in
        libqorsvc*)
            rule="^((${special})?(Cos|cos)[A-Za-z0-9_]*(::|\\(|$)|(gs_pclCosTraceInstance|gs_apszCosMessageTable|strupr|strlwr|strcmpi|strncmpi|memicmp)$)" ;;
        libvqxtext*)
            rule="^((${cxx_names})\\(|(GTR[A-Za-z0-9_]*|VOZ_[A-Za-z0-9_]*|VOZStemUtil|itlGetEngineType|voz_ClearStatus)\\(|(${special})?(${classes})(::|$))" ;;
        libvqxthes*)
            rule="^(vozCNET[A-Za-z0-9_]*|itlThesaurus[A-Za-z0-9_]*|itlHandle(New|Delete)ThesaurusLookup)$" ;;
        *) echo "no rule for $lib"; exit 1 ;;
    esac
    # Plain (unmangled) names of libvqxtext are the C functions declared.
    raw=$(nm -D --defined-only "$lib" | awk '{print $3}' | sed 's/@.*//')
    outside=$(paste -d'\t' <(echo "$raw") <(echo "$raw" | c++filt) |
        while IFS=$'\t' read -r sym demangled; do
            if [[ $lib == *libvqxtext* && $sym != _Z* ]]; then
                [[ $'\n'$c_names$'\n' == *$'\n'$sym$'\n'* ]] || echo "$sym"
            else
                [[ $demangled =~ $rule ]] || echo "$demangled"
            fi
        done)
    if [ -n "$outside" ]; then
        echo "$(basename "$lib") exports what it should not:"; echo "$outside" | head -50
        bad=1
    fi
done
exit $bad
