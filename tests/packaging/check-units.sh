#!/usr/bin/env bash
# Verifies the example systemd units as a user manager would load them, on copies whose service runs
# the built coffer-cli, without a running user manager: systemd-analyze gets a runtime folder and a
# home of its own. Any message fails the check.
# Usage: check-units.sh BUILD_DIR COFFER_CLI
set -euo pipefail
build=$1
cli=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/runtime" "$work/home" "$work/units"
sed "s|^ExecStart=[^ ]*/coffer-cli |ExecStart=$cli |" "$build/packaging/coffer-fetch.service" >"$work/units/coffer-fetch.service"
grep -q "^ExecStart=$cli " "$work/units/coffer-fetch.service"
cp "$(dirname "$0")/../../packaging/coffer-fetch.timer" "$work/units/"
cd "$work/units"
HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" systemd-analyze --user verify --man=no \
    coffer-fetch.service coffer-fetch.timer 2>&1
