#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks what lies there: exactly
# the expected files, the library's version links, every header that declares
# something exported and no other, the program's link and RUNPATH.
#   install-tree.sh LAYOUT_ENV EXPECTED_FILES
source "$(dirname "$0")/common.sh"
source "$1"
expected_files=$2

rm -rf "$PREFIX"
"$CMAKE_COMMAND" --install "$BUILD_DIR" --prefix "$PREFIX" > "$WORK_DIR/install.log"

# The headers are checked against the sources: every header that declares an
# exported name is installed, internal ones are not.
list_tree "$PREFIX" | grep -v "^$INCLUDEDIR/ovkit/" > "$WORK_DIR/installed-other.txt" || true
expect_same_lines "installed files" "$WORK_DIR/installed-other.txt" "$expected_files"
list_tree "$PREFIX/$INCLUDEDIR/ovkit" > "$WORK_DIR/installed-headers.txt"
{ exported_headers "$SOURCE_DIR/ovkit/src"; echo ovkit_export.h; } > "$WORK_DIR/expected-headers.txt"
expect_same_lines "installed headers" "$WORK_DIR/installed-headers.txt" "$WORK_DIR/expected-headers.txt"

lib="$PREFIX/$LIBDIR"
expect_equal "libovkit.so links to the soname" "$(readlink "$lib/libovkit.so")" "libovkit.so.$OVKIT_SOVERSION"
expect_equal "the soname links to the library" "$(readlink "$lib/libovkit.so.$OVKIT_SOVERSION")" "libovkit.so.$OVKIT_VERSION"
expect_equal "the library's SONAME" \
    "$(readelf -d "$lib/libovkit.so.$OVKIT_VERSION" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')" "libovkit.so.$OVKIT_SOVERSION"

program="$PREFIX/$PROGRAMDIR/snaprect"
link="$PREFIX/$BINDIR/snaprect"
if [ -L "$link" ] && [[ "$(readlink "$link")" != /* ]]; then
    echo "ok: bin/snaprect is a relative link"
else
    fail "bin/snaprect is not a relative symbolic link"
fi
expect_equal "bin/snaprect leads to the program" "$(readlink -f "$link")" "$(readlink -f "$program")"
[ -x "$program" ] || fail "the program is not executable"

# Without any help from the environment the program finds the installed
# library, not the one in the build tree.
expect_equal "the program's RUNPATH" "$(runpath "$program")" \
    "\$ORIGIN/$(realpath -m --relative-to="/p/$PROGRAMDIR" "/p/$LIBDIR")"
resolved=$(env -u LD_LIBRARY_PATH ldd "$program" | sed -n 's/^\s*libovkit\.so\.[0-9]* => \(\S*\).*/\1/p')
expect_equal "libovkit as the program loads it" "$(readlink -f "$resolved")" "$(readlink -f "$lib/libovkit.so.$OVKIT_VERSION")"

# Consumers asking for 1.x up to this release get it; any other is refused.
cat > "$WORK_DIR/version-probe.cmake" <<'PROBE'
set(CMAKE_SIZEOF_VOID_P 8)
string(REPLACE "." ";" parts "${PACKAGE_FIND_VERSION}")
list(GET parts 0 PACKAGE_FIND_VERSION_MAJOR)
include("${VERSION_FILE}")
message("${PACKAGE_VERSION_COMPATIBLE}")
PROBE
for row in "1.0:TRUE" "1.0.2:TRUE" "$OVKIT_VERSION:TRUE" "1.0.3:FALSE" "1.1:FALSE" "2.0:FALSE" "0.9:FALSE"; do
    requested=${row%%:*}
    answer=$("$CMAKE_COMMAND" -DPACKAGE_FIND_VERSION="$requested" \
        -DVERSION_FILE="$lib/cmake/Ovkit/OvkitConfigVersion.cmake" -P "$WORK_DIR/version-probe.cmake" 2>&1)
    expect_equal "the CMake package accepts a request for $requested" "$answer" "${row##*:}"
done

for catalog in "$PREFIX/$PROGRAMDIR"/Locale/zh_CN/*.qm; do
    cmp -s "$catalog" "$BUILD_DIR/snaprect/Locale/zh_CN/$(basename "$catalog")" \
        || fail "$(basename "$catalog") differs from the build's copy"
done

finish
