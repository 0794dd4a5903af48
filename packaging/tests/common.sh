# Helpers shared by the packaging checks (sourced).
set -euo pipefail

failures=0

# fail MESSAGE...: reports a failed check and lets the script go on.
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# expect_equal WHAT ACTUAL EXPECTED
expect_equal() {
    if [ "$2" = "$3" ]; then
        echo "ok: $1"
    else
        fail "$1: got '$2', expected '$3'"
    fi
}

# expect_same_lines WHAT ACTUAL_FILE EXPECTED_FILE: the two files hold the same
# lines, in any order; prints the difference otherwise.
expect_same_lines() {
    if diff <(sort "$2") <(sort "$3") > /dev/null; then
        echo "ok: $1"
    else
        fail "$1 ('<' found only, '>' expected only):"
        diff <(sort "$2") <(sort "$3") | grep '^[<>]' >&2 || true
    fi
}

# The files and symbolic links below a folder, relative to it, sorted.
list_tree() {
    (cd "$1" && find . \( -type f -o -type l \) -printf '%P\n' | LC_ALL=C sort)
}

# The headers in a source folder that declare something exported.
exported_headers() {
    grep -l 'OVKIT_EXPORT' "$1"/*.h | xargs -n1 basename | LC_ALL=C sort
}

# The RUNPATH (or RPATH) recorded in an ELF file.
runpath() {
    readelf -d "$1" | sed -n 's/.*(\(RUNPATH\|RPATH\)).*\[\(.*\)\]/\2/p'
}

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
    echo "all checks passed"
}
