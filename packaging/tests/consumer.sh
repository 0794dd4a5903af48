#!/usr/bin/env bash
# Builds the consumer project against the installed prefix, finding Ovkit with
# find_package (WAY cmake) or with pkg-config (WAY pkgconfig), checks that it
# took everything from the prefix, and runs it.
#   consumer.sh LAYOUT_ENV WAY
source "$(dirname "$0")/common.sh"
source "$1"
way=$2

build="$WORK_DIR/consumer-$way"
rm -rf "$build"
options=(-DCMAKE_CXX_COMPILER="$CXX_COMPILER" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF)
if [ "$SANITIZE" = ON ]; then
    # An instrumented library needs an instrumented program.
    options+=(-DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer"
              -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined")
fi
case "$way" in
    cmake) options+=(-DUSE_PKG_CONFIG=OFF -DCMAKE_PREFIX_PATH="$PREFIX") ;;
    pkgconfig)
        options+=(-DUSE_PKG_CONFIG=ON)
        export PKG_CONFIG_PATH="$PREFIX/$LIBDIR/pkgconfig"
        expect_equal "pkg-config's version of ovkit" "$(pkg-config --modversion ovkit)" "$OVKIT_VERSION"
        ;;
    *) echo "consumer.sh: unknown way '$way'" >&2; exit 2 ;;
esac

"$CMAKE_COMMAND" -S "$(dirname "$0")/consumer" -B "$build" "${options[@]}"
"$CMAKE_COMMAND" --build "$build"

cached() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
if [ "$way" = cmake ]; then
    expect_equal "the CMake package found" "$(readlink -f "$(cached Ovkit_DIR)")" "$(readlink -f "$PREFIX/$LIBDIR/cmake/Ovkit")"
fi
expect_equal "the headers compiled alone" "$(readlink -f "$(cached OVKIT_HEADER_DIR)")" "$(readlink -f "$PREFIX/$INCLUDEDIR/ovkit")"
count=$(find "$build/alone" -name '*.h.cpp' | wc -l)
expect_equal "translation units of one header each" "$count" "$(find "$PREFIX/$INCLUDEDIR/ovkit" -name '*.h' | wc -l)"

resolved=$(env -u LD_LIBRARY_PATH ldd "$build/consumer" | sed -n 's/^\s*libovkit\.so\.[0-9]* => \(\S*\).*/\1/p')
expect_equal "libovkit as the consumer loads it" "$(readlink -f "$resolved")" "$(readlink -f "$PREFIX/$LIBDIR/libovkit.so.$OVKIT_VERSION")"

if env -u LD_LIBRARY_PATH "$build/consumer"; then
    echo "ok: the consumer ran"
else
    fail "the consumer reported failures"
fi

if [ "$way" = pkgconfig ]; then
    # The same program built by a plain compiler command, as the README shows.
    flags=()
    [ "$SANITIZE" = ON ] && flags=(-fsanitize=address,undefined -fno-omit-frame-pointer)
    # shellcheck disable=SC2046
    "$CXX_COMPILER" -std=c++17 -Wall -Wextra -Werror "${flags[@]}" "$(dirname "$0")/consumer/main.cpp" \
        $(pkg-config --cflags --libs ovkit) -o "$build/consumer-plain"
    if LD_LIBRARY_PATH="$PREFIX/$LIBDIR" "$build/consumer-plain"; then
        echo "ok: the consumer built with pkg-config's flags alone ran"
    else
        fail "the consumer built with pkg-config's flags alone reported failures"
    fi
fi
finish
