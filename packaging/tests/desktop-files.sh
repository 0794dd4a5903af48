#!/usr/bin/env bash
# Validates the installed menu entry and AppStream metadata with the
# freedesktop.org and AppStream tools, and checks that they agree with each
# other and with what was installed beside them.
#   desktop-files.sh LAYOUT_ENV
source "$(dirname "$0")/common.sh"
source "$1"

data="$PREFIX/$DATADIR"
desktop="$data/applications/$APP_ID.desktop"
metainfo="$data/metainfo/$APP_ID.metainfo.xml"

# Hints (two main categories, as wanted) are fine; errors and warnings are not.
report=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate rejects the entry"
[ -n "$report" ] && echo "$report"
if grep -qE ': (error|warning):' <<< "$report"; then fail "desktop-file-validate reports problems"; fi
if appstreamcli validate --no-net "$metainfo"; then
    echo "ok: appstreamcli validate"
else
    fail "appstreamcli validate rejects the metadata"
fi

key() { sed -n "s/^$1=//p" "$desktop"; }
expect_equal "the entry's name" "$(key Name)" "Framzel"
[ -n "$(key Comment)" ] || fail "no English comment"
[ -n "$(key 'Comment\[zh_CN\]')" ] || fail "no Chinese comment"
expect_equal "the entry's categories" "$(key Categories)" "Utility;Graphics;"
command=$(key Exec)
[ -x "$PREFIX/$BINDIR/${command%% *}" ] || fail "Exec names '${command%% *}', which is not installed in $BINDIR"

icon=$(key Icon)
for size in 16 24 32 48 64 128 256; do
    file="$data/icons/hicolor/${size}x${size}/apps/$icon.png"
    if file "$file" | grep -q "PNG image data, $size x $size,"; then
        echo "ok: icon $icon at $size x $size"
    else
        fail "icon $icon at $size x $size: $(file -b "$file" 2>&1)"
    fi
done

# tag NAME [ATTRIBUTES]: the text of the element NAME with exactly those attributes.
tag() { sed -n "s:.*<$1${2:+ $2}>\(.*\)</$1>.*:\1:p" "$metainfo"; }
expect_equal "the component's id" "$(tag id)" "$APP_ID"
expect_equal "the launchable desktop entry" "$(tag launchable 'type="desktop-id"')" "$(basename "$desktop")"
expect_equal "the binary the component provides" "$(tag binary)" "${command%% *}"
expect_equal "the component's name" "$(tag name)" "$(key Name)"
expect_equal "the release" "$(sed -n 's:.*<release version="\([^"]*\)" date="\([^"]*\)".*:\1 \2:p' "$metainfo")" \
    "$SNAPRECT_VERSION $SNAPRECT_RELEASE_DATE"

finish
