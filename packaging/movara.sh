#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts Movara from a folder the user can write. The program keeps its tables
# beside itself, and its installed folder is read-only, so the launcher keeps
# a copy of that folder where the user (or a test centre) names it and runs
# the copy there:
#   MOVARA_FOLDER   the folder, for example a shared folder at a test centre;
#                   by default $XDG_DATA_HOME/movara (~/.local/share/movara).
# The program and its help file in the copy are brought up to date; a table
# already in the folder is never overwritten, only missing ones are copied.
set -eu

installed="$(dirname "$(readlink -f "$0")")/../lib/movara"
installed="$(readlink -f "$installed")"

case "${1:-}" in
    --version|--help|-h) exec "$installed/movara" "$@" ;;
esac

folder="${MOVARA_FOLDER:-${XDG_DATA_HOME:-$HOME/.local/share}/movara}"

fail() {
    echo "movara: $1" >&2
    exit 1
}

mkdir -p "$folder" 2>/dev/null || fail "cannot create the folder $folder for the tables; set MOVARA_FOLDER to a folder you can write."
[ -w "$folder" ] || fail "the folder $folder cannot be written; the tables need a folder you can write (set MOVARA_FOLDER)."

# Replaced by renaming, so a copy that another user runs keeps its file.
refresh() {
    if ! cmp -s "$installed/$1" "$folder/$1"; then
        cp "$installed/$1" "$folder/.$1.$$" || fail "cannot write $folder/$1."
        mv -f "$folder/.$1.$$" "$folder/$1"
    fi
}
refresh movara
refresh movara.hlp

# A table is its data file with its index and memo files: copied whole, and
# only when none of its files is in the folder yet.
for data in "$installed"/*.dat; do
    table="$(basename "$data" .dat)"
    if ls "$folder/$table".* >/dev/null 2>&1; then continue; fi
    for file in "$installed/$table".*; do
        name="$(basename "$file")"
        cp "$file" "$folder/.$name.$$" || fail "cannot write $folder/$name."
        mv -n "$folder/.$name.$$" "$folder/$name"
        rm -f "$folder/.$name.$$"
    done
done

exec "$folder/movara" "$@"
