#!/usr/bin/env bash
# same_index_bytes.sh -- builds one corpus's index with two builds of
# index_corpus under every setting it knows and compares the two index
# folders file by file, byte for byte. Use it to show that a change of the
# builder leaves every file it writes as it was:
#
#   bench/same_index_bytes.sh OLD/bench/index_corpus NEW/bench/index_corpus \
#       /usr/share/doc/python3.11/html/_sources [WORKDIR]
#
# Prints each setting's timing line from both builds and "same" or the
# files that differ; exits 1 when any file differs or a build fails. The
# environment variable SHORT=<bytes> cuts the corpus into documents of about
# that size first (index_corpus --short), for the short-document corpus. The
# one field that differs from run to run, the write time in the header of
# the key files (voz.KEY and voz.LEY, bytes 88-91), is left out.
set -u

# Whether files $1 and $2 are equal but for the write time of a key file.
same_file() {
    [ "$(stat -c %s "$1")" = "$(stat -c %s "$2")" ] || return 1
    case $1 in
    */voz.KEY/* | */voz.LEY/*)
        [ -z "$(cmp -l "$1" "$2" | awk '$1 < 89 || $1 > 92')" ] ;;
    *)
        cmp -s "$1" "$2" ;;
    esac
}

if [ $# -lt 3 ]; then
    echo "usage: $0 OLD_INDEX_CORPUS NEW_INDEX_CORPUS CORPUS [WORKDIR]" >&2
    exit 2
fi
old=$1 new=$2 corpus=$3
# A missing build lists no settings: that must fail, not pass as "same".
for bin in "$old" "$new"; do
    [ -x "$bin" ] || { echo "$0: $bin is not an executable" >&2; exit 2; }
done
[ -n "$("$new" --list)" ] || { echo "$0: $new lists no settings" >&2; exit 2; }
work=${4:-$(mktemp -d /tmp/same_index_bytes.XXXXXX)}
mkdir -p "$work"
status=0
for cfg in $("$new" --list); do
    for side in old new; do
        rm -rf "${work:?}/$side/$cfg"
        bin=$old
        [ "$side" = new ] && bin=$new
        if ! line=$("$bin" --corpus "$corpus" --out "$work/$side/$cfg" --config "$cfg" ${SHORT:+--short "$SHORT"}); then
            echo "$cfg: the $side build failed" >&2
            status=1
            continue 2
        fi
        echo "$side $line"
    done
    a=$work/old/$cfg/out b=$work/new/$cfg/out
    la=$(cd "$a" && find . -type f | sort)
    lb=$(cd "$b" && find . -type f | sort)
    if [ "$la" != "$lb" ]; then
        echo "$cfg: different file lists"
        diff <(echo "$la") <(echo "$lb")
        status=1
        continue
    fi
    files=0 bytes=0 bad=0
    while IFS= read -r f; do
        files=$((files + 1))
        bytes=$((bytes + $(stat -c %s "$a/$f")))
        if ! same_file "$a/$f" "$b/$f"; then
            echo "$cfg: $f differs"
            bad=1
        fi
    done <<<"$la"
    if [ $bad -eq 0 ]; then
        echo "$cfg: same ($files files, $bytes bytes)"
    else
        status=1
    fi
done
exit $status
