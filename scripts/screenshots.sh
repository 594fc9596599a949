#!/usr/bin/env bash
# Takes the README's pictures: starts the configurator beside simulated devices on a
# virtual display (Xvfb), drives it with xdotool and writes docs/screenshot-*.png:
#
#   screenshot-main.png      the LED indicator's editor, live values on
#   screenshot-traffic.png   the same with the traffic view
#   screenshot-scan.png      a bus scan finding four devices
#   screenshot-firmware.png  the firmware window during an upload
#   screenshot-main-ru.png   the LED indicator's editor in Russian
#
# With --review <folder> it also shows every tab of every device editor, and the scan
# and firmware windows, in Russian and writes a picture of each into <folder>, to be
# looked at for English or cut-off texts after a change.
#
# Run it again whenever a page the pictures show changes. The clicks go to places in the
# window (the Connect button, an editor's first tab, the scan dialog's Start button): if
# a layout moves them, the coordinates below need the new places.
#
#   bash scripts/screenshots.sh [--review <folder>]
set -euo pipefail
cd "$(dirname "$0")/.."

review=
if [ "${1:-}" = --review ]; then
    review=$(realpath -m "${2:?--review needs a folder}")
    mkdir -p "$review"
fi

bash scripts/install-deps.sh
for tool in xdotool imagemagick; do
    dpkg-query -W -f='${Status}' "$tool" 2>/dev/null | grep -q 'install ok installed' \
        || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$tool"
done
cmake --preset debug >/dev/null
cmake --build --preset debug -j"$(nproc)" >/dev/null

# Where to click, in pixels from the window's top left corner.
declare -A connectAt=([en]="690 44" [ru]="776 44")
firstMenu="18 8"        # "File": the other menus are reached with the arrow keys
monitorAt="80 172"      # the LED indicator's Monitor button
# An editor's tab bar (the voltmeter has buttons above it); the mouse wheel over it
# goes from tab to tab.
declare -A tabBarAt=([volt]="70 137")
tabBarDefault="70 109"
scanStartAt="50 254"    # the scan dialog's Start button
scanCloseAt="668 577"
uploadAt="106 292"      # the firmware window's Upload Firmware button

# A fixed folder: its name shows in the pictures' port boxes and logs.
work=/tmp/tavrolix-screenshots
rm -rf "$work"
mkdir -p "$work"
cp tools/devsim/samples/sample-firmware.enc "$work/"
export XDG_CONFIG_HOME=$work/config # the configurator's settings, its own for this run
declare -A running=()               # name -> process
cleanup() {
    for pid in "${running[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

stop() { # <name>
    kill "${running[$1]}" 2>/dev/null || true
    wait "${running[$1]}" 2>/dev/null || true
    unset "running[$1]"
}

export DISPLAY=:$((90 + RANDOM % 100))
Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
running[display]=$!
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done

waitFor() { # <pattern> <file>: until a line of the file matches, at most 20 s
    for _ in $(seq 200); do grep -q "$1" "$2" 2>/dev/null && return; sleep 0.1; done
    echo "waited in vain for \"$1\" in $2" >&2
    return 1
}

simulate() { # <name> <devsim arguments>...: a simulator in $work/<name>, its port made
    local name=$1
    shift
    mkdir -p "$work/$name"
    build/bin/tavrolix-devsim --virtual "$work/$name" "$@" >"$work/$name/log" 2>&1 &
    running[$name]=$!
    waitFor 'Open this port' "$work/$name/log"
}

window=
start() { # <en|ru>: the configurator, its window shown
    local locale=C.UTF-8
    [ "$1" = ru ] && locale=ru_RU.UTF-8
    LANG=$locale build/bin/configurator >"$work/configurator.log" 2>&1 &
    running[configurator]=$!
    window=$(xdotool search --sync --onlyvisible --name '^Tavrolix ' | head -n 1)
    sleep 1
}

click() { # <x y> [window]: a click at that place of the window (the main window by default)
    xdotool mousemove --window "${2:-$window}" $1 click 1
    sleep 0.5
}

menu() { # <menu, 0 = File> <entry, 0 = the first>
    click "$firstMenu"
    for _ in $(seq "$1"); do xdotool key Right; done
    for _ in $(seq "$2"); do xdotool key Down; done
    xdotool key Return
    sleep 1
}

focused() { xdotool getwindowfocus; }

shot() { # <file> [window]
    import -window "${2:-$window}" "$1"
    echo "$1"
}

connect() { # <en|ru>: Connect, and the editor read
    click "${connectAt[$1]}"
    sleep 2
}

# The pictures in English: one line with four devices, the first the LED indicator.
simulate bus --bus ind4@1,do8@2,gsm@5,volt@7 --preset-configurator
start en
connect en
click "$monitorAt"
sleep 3
shot docs/screenshot-main.png
menu 2 0 # View, Traffic
sleep 2
shot docs/screenshot-traffic.png
menu 2 0
menu 3 1 # Tools, Scan Bus: it asks to end the connection first
xdotool key Return
sleep 1
dialog=$(focused)
click "$scanStartAt" "$dialog"
sleep 5 # the four devices found, the scan still on
shot docs/screenshot-scan.png "$dialog"
click "$scanCloseAt" "$dialog"

simulate boot --device bootloader --expect "$work/sample-firmware.enc"
menu 3 0 # Tools, Firmware Update
dialog=$(focused)
xdotool key ctrl+a type "$work/boot/configurator"
click "$uploadAt" "$dialog"
xdotool type "$work/sample-firmware.enc"
xdotool key Return
waitFor '100 lines' "$work/boot/log"
shot docs/screenshot-firmware.png "$dialog"
waitFor 'Exit command' "$work/boot/log"
xdotool key Escape
stop configurator
stop boot

# The LED indicator in Russian.
start ru
connect ru
click "$monitorAt"
sleep 3
shot docs/screenshot-main-ru.png
stop configurator
stop bus

[ -n "$review" ] || exit 0

# Every tab of every editor in Russian, one device at a time.
for device in ind4 do8 di40 ai8 volt column gsm; do
    simulate "$device" --device "$device" --preset-configurator
    start ru
    connect ru
    xdotool mousemove --window "$window" ${tabBarAt[$device]:-$tabBarDefault}
    for tab in 1 2 3 4 5; do
        shot "$review/$device-$tab.png"
        xdotool click 5
        sleep 0.5
    done
    stop configurator
    stop "$device"
done

simulate bus --bus ind4@1,do8@2 --preset-configurator
start ru
menu 3 1
dialog=$(focused)
click "$scanStartAt" "$dialog"
sleep 3
shot "$review/scan.png" "$dialog"
click "$scanCloseAt" "$dialog"
menu 3 0
shot "$review/firmware.png" "$(focused)"
xdotool key Escape
menu 2 0
shot "$review/traffic.png"
