#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks what a desktop, man and systemd see
# there. Installs nothing on the machine itself.
set -euo pipefail
build=$1
destdir=$(mktemp -d)
trap 'rm -rf "$destdir"' EXIT
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
root=$destdir$prefix
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")
DESTDIR=$destdir cmake --install "$build" > /dev/null

expected="bin/sweeprun
bin/sweeprun-batch
$libdir/quillon/libquillon_notice.so
lib/systemd/user/quillon-batch.service
lib/systemd/user/quillon-batch.timer
share/applications/org.quillon.Quillon.desktop
share/icons/hicolor/64x64/apps/org.quillon.Quillon.png
share/icons/hicolor/scalable/apps/org.quillon.Quillon.svg
share/man/man1/sweeprun-batch.1
share/man/man1/sweeprun.1
share/metainfo/org.quillon.Quillon.metainfo.xml"
actual=$(cd "$root" && find . -type f | sed 's|^\./||' | sort)
if [ "$actual" != "$expected" ]; then
    echo "installed tree differs:"; diff <(echo "$expected") <(echo "$actual") || true
    exit 1
fi
[ -x "$root/bin/sweeprun" ] && [ -x "$root/bin/sweeprun-batch" ]

desktop-file-validate "$root/share/applications/org.quillon.Quillon.desktop"
grep -qx 'Exec=sweeprun' "$root/share/applications/org.quillon.Quillon.desktop"
appstreamcli validate --no-net "$root/share/metainfo/org.quillon.Quillon.metainfo.xml" > /dev/null

for page in sweeprun sweeprun-batch; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/share/man/man1/$page.1" 2>&1 > /dev/null)
    if [ -n "$warnings" ]; then
        echo "man $page: $warnings"; exit 1
    fi
done

grep -qx "ExecStart=$prefix/bin/sweeprun-batch --if-due" "$root/lib/systemd/user/quillon-batch.service"
if command -v systemd-analyze > /dev/null; then
    # The unit as installed, but pointing into DESTDIR, where the program stands in this test.
    units=$(mktemp -d -p "$destdir")
    sed "s|^ExecStart=$prefix|ExecStart=$root|" "$root/lib/systemd/user/quillon-batch.service" \
        > "$units/quillon-batch.service"
    cp "$root/lib/systemd/user/quillon-batch.timer" "$units/"
    (cd "$units" && XDG_RUNTIME_DIR=$(mktemp -d -p "$destdir") \
        systemd-analyze verify --user --man=no quillon-batch.service quillon-batch.timer)
else
    echo "systemd-analyze is not here: the units' check is skipped"
fi

# The installed batch, which is not where it was built for, keeps its database beside itself;
# pointed at a database by QUILLON_DB, it uses that one.
said=$(QUILLON_DB=$destdir/elsewhere.db "$root/bin/sweeprun-batch" --dry-run 2>&1 || true)
grep -q "データベース $destdir/elsewhere.db がありません" <<< "$said"
"$root/bin/sweeprun-batch" --version | grep -qx 'sweeprun-batch 2003.3.29'
echo "1 passed, 0 failed"
