#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the window need, where missing; or,
# given package names, those (the benchmark's own tools).
set -euo pipefail

packages=(
    cmake ninja-build g++ make
    qt6-base-dev libqt6sql6-sqlite libsqlite3-dev qt6-translations-l10n
    libgtest-dev libgmock-dev
    fonts-noto-cjk tzdata
    desktop-file-utils appstream man-db dpkg-dev file dbus-daemon
    trash-cli  # a trash client nobody here wrote: the tests check the trash against it
)
[ $# -gt 0 ] && packages=("$@")

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

line="apt-get update && apt-get install -y --no-install-recommends ${missing[*]}"
echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    as_root=()
elif command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
else
    echo "Cannot install as this user. Please run as root:" >&2
    echo "  $line" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if ! { "${as_root[@]}" apt-get update -qq &&
       "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"; }; then
    echo "Installing failed. Please run as root:" >&2
    echo "  $line" >&2
    exit 1
fi
