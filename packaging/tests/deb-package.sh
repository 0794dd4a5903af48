#!/usr/bin/env bash
# Builds the Debian package with cpack and checks it: its control fields and
# computed dependencies, that it holds exactly the files of an install into a
# prefix, and lintian's verdict (tags listed in packaging/debian/lintian-accepted-tags are
# explained there and tolerated).
#   deb-package.sh LAYOUT_ENV
source "$(dirname "$0")/common.sh"
source "$1"

out="$WORK_DIR/deb"
rm -rf "$out"
mkdir -p "$out"
(cd "$BUILD_DIR" && "$CPACK_COMMAND" -G DEB -B "$out") > "$out/cpack.log" 2>&1 \
    || { cat "$out/cpack.log" >&2; exit 1; }
arch=$(dpkg --print-architecture)
deb="$out/snaprect_${SNAPRECT_VERSION}_$arch.deb"
[ -f "$deb" ] || { fail "no $(basename "$deb") in $out"; finish; }
dpkg-deb --info "$deb"

field() { dpkg-deb --field "$deb" "$1"; }
expect_equal "Package" "$(field Package)" "snaprect"
expect_equal "Version" "$(field Version)" "$SNAPRECT_VERSION"
expect_equal "Architecture" "$(field Architecture)" "$arch"
# dpkg-shlibdeps' result: the Qt, C++ and C libraries that the program and
# the library link, with versions; plus the platform plug-in, named by hand.
depends=$(field Depends | tr ',' '\n' | sed 's/^ *//; s/ *(.*//' | LC_ALL=C sort)
for package in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 qt6-qpa-plugins; do
    grep -qx "$package" <<< "$depends" || fail "Depends lacks $package: $(field Depends)"
done
grep -q 'libqt6widgets6 (>= ' <<< "$(field Depends)" || fail "Depends has no computed version for libqt6widgets6"
grep -qx snaprect <<< "$depends" && fail "the package depends on itself"
expect_equal "shlibs entry of the library" \
    "$(dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./shlibs)" "libovkit $OVKIT_SOVERSION snaprect (>= $SNAPRECT_VERSION)"

# The package holds what an install holds, below /usr, owned by root.
dpkg-deb --contents "$deb" > "$out/contents.txt"
grep -v '^d' "$out/contents.txt" | sed 's/ -> .*//; s/.* \.\/usr\///' | LC_ALL=C sort > "$out/files.txt"
list_tree "$PREFIX" > "$out/installed.txt"
expect_same_lines "the package's files" "$out/files.txt" "$out/installed.txt"
if awk '{ print $2 }' "$out/contents.txt" | grep -vqx 'root/root'; then fail "files not owned by root"; fi
expect_equal "the bin link in the package" "$(sed -n 's/.* \.\/usr\/'"${BINDIR//\//\\/}"'\/snaprect -> //p' "$out/contents.txt")" \
    "$(readlink "$PREFIX/$BINDIR/snaprect")"

mkdir "$out/root"
dpkg-deb --extract "$deb" "$out/root"
program="$out/root/usr/$PROGRAMDIR/snaprect"
file "$program" | grep -q ', stripped' || fail "the program is not stripped"
expect_equal "the packaged program's RUNPATH" "$(runpath "$program")" "$(runpath "$PREFIX/$PROGRAMDIR/snaprect")"

lintian_options=(--info --display-info --fail-on error,warning
                 --suppress-tags-from-file "$SOURCE_DIR/packaging/debian/lintian-accepted-tags")
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
if [ "$LIBDIR" != "lib/$multiarch" ]; then
    # A build for /usr/local keeps the library and ovkit.pc out of Debian's
    # multiarch folder; configured with the prefix /usr it goes there.
    echo "note: built for libdir '$LIBDIR', not lib/$multiarch: ovkit.pc is of no use to cross builds"
    lintian_options+=(--suppress-tags pkg-config-unavailable-for-cross-compilation)
fi
if lintian "${lintian_options[@]}" "$deb"; then
    echo "ok: lintian"
else
    fail "lintian reports errors or warnings"
fi
finish
