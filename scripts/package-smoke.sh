#!/usr/bin/env bash
# Builds the Debian package, installs it on this machine and tries the installed
# programs: tavrolix-cli lists the seven plug-ins from the installed folder (in English
# and, from the installed translations, in Russian), the configurator starts offscreen
# from the desktop entry's command and loads them too, the desktop entry and the
# metainfo validate, and removing the package leaves none of its files behind.
# Changes the machine's installed packages: meant for CI and for a machine of one's own.
set -euo pipefail
cd "$(dirname "$0")/.."

fail() { echo "package smoke test: $*" >&2; exit 1; }

deb=$(bash scripts/make-package.sh | tail -n 1)
[ -f "$deb" ] || fail "no package was made"
echo "== $(basename "$deb")"
dpkg-deb --field "$deb" Package Version Depends

export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq "$deb" >/dev/null
trap 'dpkg -r tavrolix-configurator >/dev/null 2>&1 || true' EXIT

desktop=/usr/share/applications/com.tavrolix.configurator.desktop
desktop-file-validate "$desktop"
appstreamcli validate --no-net /usr/share/metainfo/com.tavrolix.configurator.metainfo.xml

devices=(analogModule8 outputModuleDO8 inputModule40 indicator4 columnIndicator voltmeter gsmmodem)
home=$(mktemp -d)
listing=$(HOME=$home LANG=C.UTF-8 tavrolix-cli plugins)
echo "$listing"
[ "$(echo "$listing" | wc -l)" -eq ${#devices[@]} ] || fail "tavrolix-cli lists other than seven plug-ins"
for device in "${devices[@]}"; do
    echo "$listing" | grep -qw "$device" || fail "tavrolix-cli does not list $device"
done
HOME=$home LANG=ru_RU.UTF-8 tavrolix-cli plugins | grep -q 'файлы конфигурации' \
    || fail "tavrolix-cli does not speak Russian: the translations were not found"

# The desktop entry's command, started as a desktop would, offscreen; it notes each
# plug-in it loads on standard error.
command=$(sed -n 's/^Exec=//p' "$desktop")
[ "$(command -v "$command")" = /usr/bin/tavrolix-configurator ] || fail "Exec=$command is not on the path"
log=$home/configurator.log
HOME=$home QT_QPA_PLATFORM=offscreen QT_FORCE_STDERR_LOGGING=1 "$command" 2>"$log" &
pid=$!
for _ in $(seq 1 100); do
    [ "$(grep -c 'Loaded plugin:' "$log")" -ge ${#devices[@]} ] && break
    kill -0 $pid 2>/dev/null || break
    sleep 0.2
done
loaded=$(grep -c 'Loaded plugin:' "$log" || true)
kill -0 $pid 2>/dev/null || { cat "$log" >&2; fail "the configurator ended by itself"; }
kill $pid; wait $pid 2>/dev/null || true
[ "$loaded" -eq ${#devices[@]} ] || { cat "$log" >&2; fail "the configurator loaded $loaded plug-ins"; }
echo "The configurator from $command loaded $loaded plug-ins."

dpkg -r tavrolix-configurator >/dev/null
trap - EXIT
left=()
while read -r path; do
    path=/${path#./}
    [ "$path" = / ] && continue
    if [ -d "$path" ] && [ ! -L "$path" ]; then
        case "$path" in */tavrolix-configurator/*|*/tavrolix-configurator/) left+=("$path");; esac
    elif [ -e "$path" ] || [ -L "$path" ]; then
        left+=("$path")
    fi
done < <(dpkg-deb --fsys-tarfile "$deb" | tar -t)
[ ${#left[@]} -eq 0 ] || fail "dpkg -r left ${left[*]}"
rm -rf "$home"
echo "Removed: none of the package's files is left."
