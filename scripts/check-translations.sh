#!/usr/bin/env bash
# Fails when the Russian translations are behind the sources: lupdate refreshes every
# translations/*.ts from the tr() texts of its target, and a text added, changed or
# removed since shows as a changed file; the files are then put back as they were.
# `cmake --build build --target update_translations` makes the change for real: new
# texts come in unfinished, removed ones stay as "vanished" until deleted, so that a
# changed text's old translation is at hand. tst_translations checks that every entry
# is finished and keeps its placeholders.
#
#   scripts/check-translations.sh [build folder, "build" by default]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

before=$(mktemp -d)
cp translations/*.ts "$before"/
trap 'cp "$before"/*.ts translations/; rm -rf "$before"' EXIT

if ! log=$(cmake --build "$build" --target update_translations 2>&1); then
    echo "$log" >&2
    exit 1
fi

status=0
for ts in translations/*.ts; do
    if ! cmp -s "$ts" "$before/$(basename "$ts")"; then
        echo "$ts is behind the sources; lupdate changed it:" >&2
        diff -u "$before/$(basename "$ts")" "$ts" >&2 || true
        status=1
    fi
done
if grep -l 'type="unfinished"\|type="obsolete"\|type="vanished"' translations/*.ts >&2; then
    echo "These translations have unfinished entries." >&2
    status=1
fi
[ $status -eq 0 ] && echo "Translations are up to date: $(ls translations/*.ts | wc -l) files."
exit $status
