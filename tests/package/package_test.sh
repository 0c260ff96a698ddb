#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from the build folder, unpacks it into a
# temporary root and tries what a user gets: the launcher, the program run
# offscreen against a temporary table folder, and the menu entry and
# metainfo files as the desktop's tools read them.
#
#   package_test.sh BUILD_DIR
set -euo pipefail
build="$(readlink -f "$1")"
work="$(mktemp -d "${TMPDIR:-/tmp}/movara-package-XXXXXX")"
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
failures=0
check() {  # check DESCRIPTION COMMAND...
    local description="$1"; shift
    if "$@"; then echo "ok: $description"; else echo "FAILED: $description"; failures=$((failures + 1)); fi
}

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/cpack" > "$work/cpack.log" 2>&1 || {
    cat "$work/cpack.log"; echo "FAILED: cpack"; exit 1; }
package="$(ls "$work"/cpack/movara_*.deb)"
root="$work/root"
dpkg-deb -x "$package" "$root"

depends="$(dpkg-deb -f "$package" Depends)"
# A folder the package only passes through (/opt) would be its own to remove.
check "the package owns no folder outside /usr" bash -c '! dpkg-deb -c "$1" | grep -vE " \./(usr/.*)?$"' _ "$package"
check "dependencies come from the Qt libraries it links ($depends)" grep -q "libqt6widgets6" <<< "$depends"
for file in usr/lib/movara/movara usr/lib/movara/movara.hlp usr/lib/movara/config.dat usr/lib/movara/results.dat \
            usr/lib/movara/numeric.dat usr/lib/movara/invsort.dat usr/bin/movara usr/bin/movara-sync \
            usr/lib/systemd/user/movara-sync.service usr/lib/systemd/user/movara-sync.timer \
            usr/share/applications/org.movara.Movara.desktop usr/share/metainfo/org.movara.Movara.metainfo.xml \
            usr/lib/movara/criteria.dat usr/lib/movara/diagnosis.dat usr/share/icons/hicolor/scalable/apps/movara.svg usr/share/doc/movara/copyright; do
    check "installs /$file" test -e "$root/$file"
done
check "movara-sync says the archive is never changed" bash -c '"$1" --help | grep -q "never deletes or changes a row"' _ "$root/usr/bin/movara-sync"
check "the desktop entry is valid" desktop-file-validate "$root/usr/share/applications/org.movara.Movara.desktop"
check "the metainfo is valid" appstreamcli validate --no-net "$root/usr/share/metainfo/org.movara.Movara.metainfo.xml"
lintian --no-tag-display-limit "$package" > "$work/lintian.log" 2>&1 || true
check "lintian finds nothing wrong with the copyright file" bash -c '! grep -E "^E: .*(copyright|licen[cs]e)" "$1"' _ "$work/lintian.log"
grep "^E: " "$work/lintian.log" || true
check "the desktop entry is in Education" grep -q '^Categories=.*Education;' \
    "$root/usr/share/applications/org.movara.Movara.desktop"

# Without any display.
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
check "--version prints the version without a display" \
    bash -c '[ "$("$@")" = "Movara 4.0" ]' _ "${nodisplay[@]}" "$root/usr/bin/movara" --version
check "--help prints the usage without a display" \
    bash -c '"$@" | grep -q "^Usage: movara"' _ "${nodisplay[@]}" "$root/usr/bin/movara" --help

tables="$work/tables"
run() { MOVARA_FOLDER="$tables" QT_QPA_PLATFORM=offscreen "$root/usr/bin/movara" --check > "$work/check.log" 2>&1; }
check "the installed program starts in a new table folder and finds its help file and tables" run
cat "$work/check.log"
check "the program runs from the table folder" grep -q "program folder $tables/" "$work/check.log"
check "the check prints its answer only" \
    bash -c '! grep -v -e "^program folder " -e "^help file " -e "^table " -e "^check passed$" "$1"' _ "$work/check.log"
check "the tables were copied" test -e "$tables/invsort.IDX"

# A table already in the folder is never overwritten, even by a newer one.
before="$(md5sum < "$tables/config.dat")"
echo "changed" >> "$root/usr/lib/movara/config.dat"
check "a second start works" run
check "a table already there is kept" test "$(md5sum < "$tables/config.dat")" = "$before"

blocked="$work/plain-file"
touch "$blocked"
MOVARA_FOLDER="$blocked/tables" "$root/usr/bin/movara" --check > "$work/refused.log" 2>&1 && refused=0 || refused=1
check "a folder that cannot be made is refused" test "$refused" = 1
check "and the refusal says which folder" grep -q "cannot create the folder $blocked/tables" "$work/refused.log"

echo "$failures failed"
[ "$failures" = 0 ]
