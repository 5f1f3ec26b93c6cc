#!/usr/bin/env bash
# `make package` from the source tree: a Debian package named quillon, holding the installed
# files, whose Depends names the Qt libraries the programs link.
set -euo pipefail
source=$1
tree=$2
make -C "$source" package PACKAGE_DIR="$tree" > "$tree.log" 2>&1 || { tail -30 "$tree.log"; exit 1; }
deb=$(ls "$tree"/quillon_2003.3.29_*.deb)
contents=$(dpkg-deb -c "$deb")
for file in ./usr/bin/sweeprun ./usr/bin/sweeprun-batch \
    ./usr/lib/x86_64-linux-gnu/quillon/libquillon_notice.so \
    ./usr/share/applications/org.quillon.Quillon.desktop \
    ./usr/share/metainfo/org.quillon.Quillon.metainfo.xml \
    ./usr/share/icons/hicolor/scalable/apps/org.quillon.Quillon.svg \
    ./usr/share/man/man1/sweeprun.1 ./usr/share/man/man1/sweeprun-batch.1 \
    ./usr/lib/systemd/user/quillon-batch.service ./usr/lib/systemd/user/quillon-batch.timer; do
    grep -q " $file\$" <<< "$contents" || { echo "missing from the package: $file"; exit 1; }
done
[ "$(dpkg-deb -f "$deb" Package)" = quillon ]
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6core6 libqt6widgets6 libqt6sql6 libqt6sql6-sqlite libqt6dbus6 fonts-noto-cjk \
    qt6-translations-l10n; do
    grep -q "$library" <<< "$depends" || { echo "Depends lacks $library: $depends"; exit 1; }
done
# The batch loads D-Bus only to tell the desktop, from where the package puts it.
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/bin/sweeprun-batch | strings -el |
    grep -cx /usr/lib/x86_64-linux-gnu/quillon/libquillon_notice.so > /dev/null
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/lib/systemd/user/quillon-batch.service |
    grep -qx 'ExecStart=/usr/bin/sweeprun-batch --if-due'
echo "1 passed, 0 failed"
