#!/bin/bash
# install_test.sh <build dir> <source dir> <C compiler> <C++ compiler>:
# installs the build into a scratch prefix and uses it as an outside caller
# would: C programs built with `cc $(pkg-config --cflags --libs ...)` (the
# examples among them, indexing and searching a folder), a C++
# program on the installed engine headers, and a CMake project that finds the
# package. Everything runs from the installed tree only.
set -euo pipefail
build=$1; src=$2; cc=$3; cxx=$4
here=$src/tests/install
scratch=$(mktemp -d "${TMPDIR:-/tmp}/ti_install.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" > "$scratch/install.log"

# Nothing from the source tree leaks into the installed pkg-config files.
if grep -q "$src" "$prefix"/lib*/pkgconfig/*.pc; then
    echo "pkg-config file names the source tree"; exit 1
fi
libdir=$(dirname "$(find "$prefix" -name vqxtext.pc)")/..
export PKG_CONFIG_PATH=$libdir/pkgconfig
# The programs find the installed libraries as a caller would tell them.
export LD_LIBRARY_PATH=$libdir
# A sanitizer build's libraries need the sanitizer runtime in the program.
extra=()
# (nm's whole output is read first: with pipefail, grep -q stopping early
# would fail the pipe through nm's SIGPIPE.)
symbols=$(nm -D "$libdir/libvqxtext.so")
if grep -q __asan_ <<< "$symbols"; then
    extra=(-fsanitize=address,undefined)
fi

mkdir -p "$scratch/data"
# shellcheck disable=SC2046
"$cc" -std=c99 -Wall -Werror -pedantic-errors "${extra[@]}" "$here/use_vqxtext.c" \
    -o "$scratch/use_vqxtext" $(pkg-config --cflags --libs vqxtext)
"$scratch/use_vqxtext" "$scratch/data"

if [ -f "$PKG_CONFIG_PATH/vqxthes.pc" ]; then
    # shellcheck disable=SC2046
    "$cc" -std=c99 -Wall -Werror -pedantic-errors "${extra[@]}" "$here/use_vqxthes.c" \
        -o "$scratch/use_vqxthes" $(pkg-config --cflags --libs vqxthes)
    "$scratch/use_vqxthes" "$scratch/data"
fi

# Each installed engine header compiles alone, then a caller of the engine
# calls links.
enginedir=$(pkg-config --variable=enginedir vqxtext)
for header in "$enginedir"/calls/voz_gtr*.hpp "$enginedir"/calls/voz_message.hpp \
              "$enginedir"/calls/voz_wordcalls.hpp "$enginedir"/calls/voz_convcond.hpp; do
    "$cxx" -std=c++17 -fsyntax-only -I"$enginedir" -x c++ "$header"
done
# shellcheck disable=SC2046
"$cxx" -std=c++17 -Wall -Werror "${extra[@]}" "$here/use_engine.cpp" -I"$enginedir" \
    -o "$scratch/use_engine" $(pkg-config --libs vqxtext)
"$scratch/use_engine" "$scratch/data"

# The example programs, built from their sources as a caller builds them:
# index a small folder, search it, change it and index it again.
for example in simpleindex simplesearch; do
    # shellcheck disable=SC2046
    "$cc" -Wall -Werror "${extra[@]}" "$src/examples/$example.c" \
        -o "$scratch/$example" $(pkg-config --cflags --libs vqxtext)
done
docs=$scratch/docs
mkdir -p "$docs/sub"
printf 'A zebrafish swims in the quiet river.\n' > "$docs/river.txt"
printf '<html><body><p>The heron watches the zebrafish.</p></body></html>\n' > "$docs/sub/heron.html"
printf '<note><body>Nothing about fish here.</body></note>\n' > "$docs/note.xml"
"$scratch/simpleindex" "$scratch/docindex" "$docs" 2> "$scratch/index.log" \
    || { cat "$scratch/index.log"; exit 1; }
found=$("$scratch/simplesearch" "$scratch/docindex" zebrafish)
grep -q 'river\.txt' <<< "$found" && grep -q 'sub/heron\.html' <<< "$found" \
    && grep -q '^2 documents found' <<< "$found" \
    || { echo "simplesearch found:"; echo "$found"; exit 1; }
# A vanished file leaves the index at the next run; a changed one is found
# by its new words.
rm "$docs/river.txt"
printf '<note><body>A zebrafish after all.</body></note>\n' > "$docs/note.xml"
touch -d '+1 minute' "$docs/note.xml"
"$scratch/simpleindex" "$scratch/docindex" "$docs" 2> "$scratch/index.log" \
    || { cat "$scratch/index.log"; exit 1; }
found=$("$scratch/simplesearch" "$scratch/docindex" zebrafish)
grep -q 'note\.xml' <<< "$found" && ! grep -q 'river\.txt' <<< "$found" \
    && grep -q '^2 documents found' <<< "$found" \
    || { echo "simplesearch after the second run found:"; echo "$found"; exit 1; }
if "$scratch/simplesearch" "$scratch/missing" zebrafish > /dev/null 2>&1; then
    echo "simplesearch succeeded on a missing index"; exit 1
fi

# The CMake package.
mkdir -p "$scratch/cmake"
cmake -S "$here/cmake_user" -B "$scratch/cmake" -DCMAKE_PREFIX_PATH="$prefix" \
      -DCMAKE_C_COMPILER="$cc" -DCMAKE_C_FLAGS="${extra[*]}" > "$scratch/cmake.log" \
    || { cat "$scratch/cmake.log"; exit 1; }
cmake --build "$scratch/cmake" > "$scratch/cmake_build.log" \
    || { cat "$scratch/cmake_build.log"; exit 1; }
"$scratch/cmake/use_vqxtext" "$scratch/data"
echo "installed tree works"
