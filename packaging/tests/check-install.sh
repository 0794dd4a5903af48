#!/usr/bin/env bash
# Checks what this build installs and ships, with the real tools:
#   check-install.sh LAYOUT_ENV install_tree|installed_program|deb_package
# install_tree installs with DESTDIR, compares the files with the expected
# list and moves the prefix elsewhere; everything after that works from the
# moved tree only, so a path that names the first place fails.
# No pipefail: a check that wants no output ends in "! grep".
set -u
source "$1"
tree=$WORK_DIR/moved
failures=0

# check DESCRIPTION COMMAND: runs the command in this shell and counts a failure.
check() {
    if eval "$2"; then echo "ok: $1"; else echo "FAIL: $1" >&2; failures=$((failures + 1)); fi
}
files() { (cd "$1" && find . ! -type d -printf '%P\n' | LC_ALL=C sort); }
expected() { LC_ALL=C sort "$WORK_DIR/installed-files.txt"; }
# resolves PROGRAM LIBDIR: the program finds libovkit in LIBDIR without help.
resolves() {
    local found
    found=$(env -u LD_LIBRARY_PATH ldd "$1" | sed -n "s/.*libovkit\.so\.$OVKIT_SOVERSION => \(\S*\).*/\1/p")
    [ "$(realpath -q "$found")" = "$(realpath "$2")/libovkit.so.$OVKIT_VERSION" ]
}

case $2 in
install_tree)
    rm -rf "$WORK_DIR/stage" "$tree" "$WORK_DIR/consumer"
    DESTDIR=$WORK_DIR/stage "$CMAKE_COMMAND" --install "$BUILD_DIR" > /dev/null || exit 1
    check "installed files" 'diff <(files "$WORK_DIR/stage") <(expected | sed "s|^|${PREFIX#/}/|")'
    mv "$WORK_DIR/stage$PREFIX" "$tree" || exit 1
    lib=$tree/$LIBDIR
    flags=$([ "$SANITIZE" = ON ] && echo -fsanitize=address,undefined)
    # The notes example, as someone else's project: subclasses of the exported
    # classes, whose vtables and type information cross the library's boundary.
    check "a consumer built with find_package" '"$CMAKE_COMMAND" -S "$SOURCE_DIR/examples/notes" -B "$WORK_DIR/consumer" \
        -DCMAKE_PREFIX_PATH="$tree" -DCMAKE_CXX_COMPILER="$CXX_COMPILER" -DCMAKE_CXX_FLAGS="$flags" > /dev/null \
        && "$CMAKE_COMMAND" --build "$WORK_DIR/consumer" > /dev/null && resolves "$WORK_DIR/consumer/ovkit-notes" "$lib"'
    # pkg-config's flags alone, every installed header included, as the README shows.
    export PKG_CONFIG_PATH=$lib/pkgconfig
    headers=$(cd "$tree/$INCLUDEDIR/ovkit" && printf -- '-include %s ' *.h)
    check "a consumer built with pkg-config" '"$CXX_COMPILER" -std=c++17 -Wall -Wextra -Werror -shared -fPIC \
        -Wl,--no-undefined $flags $headers "$SOURCE_DIR/examples/notes/NotesSettings.cpp" $(pkg-config --cflags --libs ovkit) \
        -o "$WORK_DIR/consumer/plain.so"'
    # Exported: the Ov classes (with their vtables, type information, thunks),
    # the ov:: functions that the installed headers mark, the linker's own
    # symbols, and weak copies of other libraries' inline code (Qt's, unoptimised).
    api=$(sed -n 's/^OVKIT_EXPORT .*[ *&]\(\w*\)(.*/ov::\1/p' "$tree/$INCLUDEDIR"/ovkit/*.h | paste -sd'|')
    nm -DC --defined-only "$lib/libovkit.so.$OVKIT_VERSION" > "$WORK_DIR/symbols.txt" || exit 1
    check "only the interface exported" '! cut -d" " -f2- "$WORK_DIR/symbols.txt" \
        | sed -E "s/^(. )(vtable for |typeinfo (name )?for |(non-)?virtual thunk to |guard variable for )/\1/" \
        | grep -vP "^. (Ov|__odr_asan|($api)\(|(__bss_start|_edata|_end|_init|_fini)$)|^[WVu] (?!ov::)"'
    entry=$tree/$DATADIR/applications/$APP_ID.desktop
    check "the desktop entry" 'desktop-file-validate "$entry" > "$WORK_DIR/desktop.txt" && ! grep -v ": hint: " "$WORK_DIR/desktop.txt" \
        && [ -x "$tree/$BINDIR/$(sed -n "/^Exec=/{s/^Exec=\([^ ]*\).*/\1/p;q}" "$entry")" ]'
    check "the AppStream metadata" 'appstreamcli validate --no-net "$tree/$DATADIR/metainfo/$APP_ID.metainfo.xml"' ;;
installed_program)
    # The program asks its site, which is not on this machine: no network for
    # it. It reaches the X server through the server's socket file.
    unshare --map-root-user --net true || { echo "no network namespace here"; exit 77; }
    unshare --map-root-user --net "$tree/$BINDIR/snaprect" & pid=$!
    # Its window shows once the catalogs are loaded, or it ends on a failure.
    xdotool search --sync --name "^$(sed -n "/^Name=/{s///p;q}" "$tree/$DATADIR/applications/$APP_ID.desktop")\$" > /dev/null & search=$!
    wait -n "$pid" "$search"
    locale=$tree/$PROGRAMDIR/Locale/zh_CN
    check "the program through its bin link loads its library and Qt's catalogs" '[ "$(grep -oF \
        -e "$tree/$LIBDIR/libovkit.so.$OVKIT_VERSION" -e "$locale/qt_zh_CN.qm" -e "$locale/qtbase_zh_CN.qm" \
        "/proc/$pid/maps" | sort -u | wc -l)" = 3 ]'
    kill "$pid" "$search" 2> /dev/null ;;
deb_package)
    out=$WORK_DIR/deb
    rm -rf "$out" && mkdir -p "$out"
    (cd "$BUILD_DIR" && "$CPACK_COMMAND" -G DEB -B "$out" > "$out/cpack.log") || { cat "$out/cpack.log"; exit 1; }
    deb=$out/snaprect_${SNAPRECT_VERSION}_$(dpkg --print-architecture).deb
    check "the package's files" 'diff <(dpkg-deb -c "$deb" | grep -v "^d" | sed "s/ -> .*//; s|.* \./${PREFIX#/}/||" \
        | LC_ALL=C sort) <(expected)'
    check "the computed dependencies" 'dpkg-deb -f "$deb" Depends | grep -P "^(?=.*libqt6widgets6 \(>= )(?=.*qt6-qpa-plugins)"'
    dpkg-deb -x "$deb" "$out/root"
    check "the packaged program finds the packaged library" \
        'resolves "$out/root$PREFIX/$PROGRAMDIR/snaprect" "$out/root$PREFIX/$LIBDIR"'
    check "lintian" 'lintian --fail-on error,warning \
        --suppress-tags-from-file "$SOURCE_DIR/packaging/debian/lintian-accepted-tags" "$deb"' ;;
esac
exit $((failures > 0))
