#!/bin/sh
# vqxmovetool.sh: starts the index migration tool vqxmaptool that lies
# beside this script, with the script's arguments, and returns its exit
# code. Run "vqxmovetool.sh -H" for the tool's usage and help.
dir=$(CDPATH= cd -- "$(dirname -- "$0")" && pwd) || exit 8
exec "$dir/vqxmaptool" "$@"
