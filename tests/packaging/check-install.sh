#!/usr/bin/env bash
# Installs a build into an empty DESTDIR under a prefix of its own and compares the files with the
# expected list; then the installed coffer-cli analyses the installed sample log, and the installation
# must be left exactly as it was: an installed program writes nothing into its own folders, even where
# it may (here, and for root, in /usr).
# Usage: check-install.sh BUILD_DIR EXPECTED_LIST
set -euo pipefail
build=$1
expected=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=/opt/coffer-check # not the prefix the build names: the program finds its files from its place
DESTDIR="$work/root" cmake --install "$build" --prefix "$prefix" >/dev/null
installed="$work/root$prefix"

diff -u "$expected" <(cd "$installed" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)

touch "$work/before"
mkdir "$work/run" "$work/home"
(cd "$work/run" && HOME="$work/home" XDG_DATA_HOME='' "$installed/bin/coffer-cli" --quiet \
    "$installed/share/doc/coffer/examples/sample-banklog.xml")
grep -q 'NINJA LIST' "$work/run/report.html"
written=$(find "$work/root" -newer "$work/before")
if [[ -n "$written" ]]; then
    echo "The installed coffer-cli wrote into its installation:" >&2
    echo "$written" >&2
    exit 1
fi
