#!/usr/bin/env bash
# Builds the Debian package of a build and checks it as Debian's archive would: lintian without errors
# (warnings are printed), the control fields the package must carry, and the files it holds.
# Usage: check-package.sh BUILD_DIR EXPECTED_LIST
set -euo pipefail
build=$1
expected=$2

output="$build/package-check"
rm -rf "$output"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$output" >/dev/null
packages=("$output"/coffer_*.deb)
[[ ${#packages[@]} -eq 1 ]]
package=${packages[0]}
echo "$(basename "$package"): $(stat -c %s "$package") bytes"

lintian --fail-on error "$package" || {
    echo "lintian found errors in $package" >&2
    exit 1
}

for field in 'Section: utils' 'Depends: .*libqt6webenginewidgets6' 'Maintainer: .*<.*@.*>' 'Description: ..*'; do
    dpkg-deb --field "$package" | grep -q "^${field}" || {
        echo "The control file lacks ${field}:" >&2
        dpkg-deb --field "$package" >&2
        exit 1
    }
done

# The package holds the installed files under /usr, the man pages and the changelog compressed.
diff -u <(sed 's|^|usr/|' "$expected") \
    <(dpkg-deb --contents "$package" | awk '$1 !~ /^d/ {sub(/^\.\//, "", $6); print $6}' | LC_ALL=C sort)
