#!/usr/bin/env bash
# app_under_wine.sh ZIP SEND-CLOSE SIMULATOR SCREENSHOT WINDOW-STYLES
# The real quorvel.exe from the Windows package, unzipped into an empty
# folder, under Wine and Xvfb. Run by ctest in a Wine lab
# (tests/windows/wine_lab.sh: 10.77.0.1 on a link to the device namespace,
# whose devices SIMULATOR plays), with its Wine prefix.
# Shows: the window with its title band and refresh picture (SCREENSHOT),
# its styles (WINDOW-STYLES, tests/app/windows/: an application window),
# both wildcard ports bound, replies from a device listed, a second copy
# refused with "Application Error" and exit status 1, exit status 0 on close,
# during a junk flood another host's reply listed and a close served, and a
# look of its own when Wine plays Windows 7.
set -euo pipefail
zip=$1 send_close=$2 sim=$3 screenshot=$4 window_styles=$5
devices=$QUORVEL_DEVICE_NAMESPACE
wine=/usr/lib/wine/wine64

. "$(dirname "$0")/../../support/x_lab.sh"
start_work

mkdir "$work/app"
unzip -q "$zip" -d "$work/app"
[ -f "$work/app/quorvel.exe" ] || fail "no quorvel.exe in the package"

# The X server first: the Wine desktop that the first Wine program starts
# stays for the later ones, and it shows their windows only on a display it had.
start_xvfb 800x700
# Wine draws the title band itself when no window manager runs.
$wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1

(cd "$work/app" && exec $wine ./quorvel.exe) >"$work/first.log" 2>&1 &
first=$!
pids+=($first)
window=$(window_shown 90 '^Quorvel$') || fail "no window"
# A taskbar button and an Alt+Tab entry, the caption with the close button only.
$wine "$window_styles" Quorvel >"$work/styles.log" 2>&1 || fail "the window's styles"

ports=$(ss -H -uln)
grep -q '0\.0\.0\.0:7080 ' <<<"$ports" || fail "0.0.0.0:7080 is not bound: $ports"
grep -q '\[::\]:7080 ' <<<"$ports" || fail "[::]:7080 is not bound: $ports"

sleep 2  # the first paint
import -window "$window" "$work/empty.png" 2>/dev/null || fail "no screenshot"
# Near-black pixels in a part of a screenshot (WIDTHxHEIGHT+X+Y, from the
# top left of Wine's window frame).
dark_pixels() { convert "$1" -crop "$2" -colorspace gray -threshold 25% -format '%[fx:int(w*h*(1-mean))]' info:; }
title=$(dark_pixels "$work/empty.png" 383x50+0+20)
picture=$(dark_pixels "$work/empty.png" 120x100+130+95)
[ "$title" -gt 500 ] || fail "no title on the window ($title dark pixels in its band)"
[ "$picture" -gt 1500 ] || fail "no refresh picture on the window ($picture dark pixels where it belongs)"
ip netns exec "$devices" "$sim" --send-to 10.77.0.1 --from 10.77.0.2 \
    --name "Hala A" --ip 10.77.0.2 --device --name "Hala B" --ip 10.77.0.3 >/dev/null
sleep 2
import -window "$window" "$screenshot" 2>/dev/null || fail "no screenshot"
# The two replies' entries change the list's part of the window.
changed=$(pixels_changed "$work/empty.png" "$screenshot")
[ "$changed" -gt 2000 ] 2>/dev/null || fail "the device replies did not show in the window ($changed pixels changed)"

(cd "$work/app" && exec $wine ./quorvel.exe) >"$work/second.log" 2>&1 &
second=$!
pids+=($second)
box=$(window_shown 60 '^Application Error$') || fail "no error box"
[ "$(xdotool search --onlyvisible --name '^Quorvel$' | wc -l)" -eq 1 ] || fail "the second copy showed a window"
closed_with "$send_close" "$box" "$second" 1 30 "the second copy"

closed_with "$send_close" "$window" "$first" 0 30 "closing the window"
quiet_ms=$closed_ms

# A host floods port 7080 with junk (a wrong start mark) as fast as one
# sender goes; another host answers 8 s into the flood, on the other link,
# every 2 ms for 2 s. It is listed, and a close request is served as without
# the flood. Wine's own socket layer takes in far less than one sender
# sends: its fastest Winsock loop takes in some 4 to 8 % of what arrives,
# the rest is lost at the full buffer (junk_flood_under_wine). Each reply
# gets in by that chance alone: at 4 %, all of 40 replies are lost in one
# run of five (0.96^40), all of 1,000 never (0.96^1000 < 1e-17; still under
# 1e-4 at 1 %). A program that falls behind the wire loses them all.
(cd "$work/app" && exec $wine ./quorvel.exe) >"$work/flooded.log" 2>&1 &
flooded=$!
pids+=($flooded)
window=$(window_shown 90 '^Quorvel$') || fail "no window before the junk flood"
sleep 2  # the first paint
import -window "$window" "$work/flood-empty.png" 2>/dev/null || fail "no screenshot"
ip netns exec "$devices" "$sim" --kind malformed --send-to 10.77.0.1 --count 0 --timeout 60 \
    >"$work/junk.log" 2>&1 &
junk=$!
pids+=($junk)
sleep 8
ip netns exec "$devices" "$sim" --send-to 10.77.1.1 --from 10.77.1.2 --ip 10.77.1.2 --name "Hala C" \
    --count 1000 --interval-ms 2 >/dev/null
sleep 2
import -window "$window" "$work/flood-reply.png" 2>/dev/null || fail "no screenshot during the junk flood"
flooded_changed=$(pixels_changed "$work/flood-empty.png" "$work/flood-reply.png")
[ "$flooded_changed" -gt 2000 ] 2>/dev/null ||
    fail "another host's replies, sent from 8 s into a junk flood for 2 s, were not listed 2 s later ($flooded_changed pixels changed)"
closed_with "$send_close" "$window" "$flooded" 0 20 "closing the window during the junk flood"
echo "junk flood: another host's reply listed ($flooded_changed pixels changed); closed in $closed_ms ms (without a flood: $quiet_ms ms)"
kill "$junk" 2>/dev/null || true

# The look follows the Windows version that Wine reports: Windows 10 gets
# the flat Fusion look, the older ones the native style from the package's
# plugin. (Qt loads that plugin at start on every version, for its default
# style, so the plugin's loading alone shows nothing for Windows 10: the
# windows' pixels do.)
for version in win10 win7; do
    $wine winecfg -v "$version" >/dev/null 2>&1
    (cd "$work/app" && WINEDEBUG=+loaddll exec $wine ./quorvel.exe) >"$work/$version.log" 2>&1 &
    pid=$!
    pids+=($pid)
    shown=$(window_shown 90 '^Quorvel$') || fail "no window as $version"
    sleep 2  # the first paint
    import -window "$shown" "$work/$version.png" 2>/dev/null || fail "no screenshot as $version"
    closed_with "$send_close" "$shown" "$pid" 0 30 "as $version"
done
grep -q 'qwindowsvistastyle\.dll' "$work/win7.log" || fail "as win7 the style plugin was not loaded"
changed=$(pixels_changed "$work/win10.png" "$work/win7.png")
[ "$changed" -gt 100 ] 2>/dev/null || fail "the window looks the same as Windows 10 and as Windows 7 ($changed pixels differ)"
echo "PASS: quorvel.exe under Wine (screenshot: $screenshot; title $title and picture $picture dark pixels; Windows 10 and 7 looks differ in $changed pixels)"
