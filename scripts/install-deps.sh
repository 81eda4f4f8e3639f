#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing. Runs apt-get only
# as root and only when something is missing (no "apt-get update" otherwise).
set -euo pipefail

packages=(
    cmake ninja-build g++ make pkg-config
    libgtest-dev libgmock-dev zlib1g-dev libsqlite3-dev libpq-dev libssl-dev postgresql-15
    libhowardhinnant-date-dev tzdata
    clang libclang-rt-14-dev clang-format
    qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-charts-dev libgl-dev
    xvfb xauth
    dpkg-dev file desktop-file-utils appstream lintian man-db
    python3 systemd
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done

if [[ ${#missing[@]} -eq 0 ]]; then
    exit 0
fi
echo "Installing missing packages: ${missing[*]}"
if [[ $(id -u) -ne 0 ]]; then
    if command -v sudo >/dev/null; then
        sudo apt-get update && sudo DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
        exit 0
    fi
    echo "Please install as root: apt-get install ${missing[*]}" >&2
    exit 1
fi
apt-get update
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
