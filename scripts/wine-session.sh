# Sourced by the checks under wine, with a name for the folder: $tmp, a temporary folder of the check's
# own holding a fresh wine prefix (WINEPREFIX), both ended and gone when the check ends; and fail. No
# shortcut an installer makes reaches this machine's own menus (winemenubuilder off).
tmp=$(mktemp -d "/tmp/registrator-wine-$1.XXXXXX")
export WINEPREFIX=$tmp/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cleanup() {
    wineserver -k 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
