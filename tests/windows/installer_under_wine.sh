#!/usr/bin/env bash
# installer_under_wine.sh ZIP INSTALLER ICON NETSH SEND-CLOSE RELEASE SCREENSHOT BOXED
# The Windows installer under Wine and Xvfb, in a Wine prefix of its own.
# Run by ctest in a Wine lab (tests/windows/wine_lab.sh). NETSH (a
# recording stand-in, recording_stand_in.cpp) replaces Wine's netsh, which
# does nothing. An older version (0.9, with a file the new one does not have)
# is made from the zip's files with ICON. BOXED (boxed_program_stand_in.cpp)
# plays the program showing its error box. Shows:
#   - the refusal, with its message, on Windows 8.1 and 7: nothing installed;
#   - a silent install of 0.9, its window started from the Start-menu
#     shortcut, then a silent upgrade to the release's version (RELEASE:
#     the build's quorvel-release.env) while that window is open: the window
#     is closed first, the old files are gone, the new ones are there, and
#     there is one Apps & features entry with that version;
#   - setup run again while the installed program shows its error box over
#     its window, both titled "Quorvel", and another program of the same
#     name and titles runs from another folder: the installed one is ended,
#     setup succeeds, the other one is left running;
#   - the entry's values, the shortcut, the firewall rule's netsh commands;
#   - the shortcut's icon, as Wine's shell shows it: the program's, in every
#     size of ICON;
#   - the program started from the shortcut: its window (SCREENSHOT) with
#     its caption, and both ports bound;
#   - the quiet uninstall command with the window open: the window closed,
#     and no file, folder, shortcut, entry or firewall rule left.
set -euo pipefail
zip=$1 installer=$2 icon=$3 netsh=$4 send_close=$5 release=$6 screenshot=$7 boxed=$8
. "$(dirname "$0")/wine_prefix.sh"
version=$(. "$release" && echo "$QUORVEL_VERSION")
# The installer speaks Polish under a Polish locale; the test looks for its
# English box title.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
# The netsh.exe in system32 is the stand-in, not Wine's own.
export WINEDLLOVERRIDES='mscoree,mshtml=;netsh.exe=n'
# Wine makes a desktop menu entry for the shortcut, with the icon it shows,
# as a shell would: in a home folder of the test's own.
export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_CONFIG_HOME=$work/home/.config
mkdir -p "$HOME"

drive_c=$WINEPREFIX/drive_c
folder="$drive_c/Program Files/Quorvel"
shortcut="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quorvel.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvel'
calls=$drive_c/windows/system32/netsh-calls.txt

start_xvfb 1024x768
$wine wineboot -i >/dev/null 2>&1
$wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
cp "$netsh" "$drive_c/windows/system32/netsh.exe"

# A value of the entry, as reg.exe prints it ("name type data").
entry_value() { $wine reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_[A-Z]* *//p"; }
# The window of the program started from the shortcut.
start_from_shortcut() {
    $wine start /unix "$shortcut" >>"$work/start.log" 2>&1
    window=$(window_shown 90 '^Quorvel$') || fail "no window from the shortcut"
}
# xdotool finds none (1), not merely no answer from the X server (timeout).
no_window() {
    local status=0
    timeout 20 xdotool search --onlyvisible --name '^Quorvel$' >/dev/null || status=$?
    [ "$status" = 1 ]
}
# The number of visible windows titled "Quorvel".
quorvel_windows() { xdotool search --onlyvisible --name '^Quorvel$' 2>/dev/null | wc -l; }

# Too old a Windows: a message, exit status 4, nothing installed.
for old in win81 win7; do
    $wine winecfg -v "$old" >/dev/null 2>&1
    $wine "$installer" >"$work/refused.log" 2>&1 &
    pid=$!
    pids+=($pid)
    box=$(window_shown 60 '^Quorvel Setup$') \
        || fail "no refusal as $old; the windows: $(xdotool search --onlyvisible --name . getwindowname %@ | paste -sd,)"
    import -window "$box" "$work/refusal.png" 2>/dev/null
    "$send_close" "$box"
    wait_for_exit "$pid" 30
    [ "$status" = 4 ] || fail "as $old the installer ended with $status, not 4"
    run_setup "$installer" /S
    [ "$status" = 4 ] || fail "as $old the silent installer ended with $status, not 4"
    [ ! -e "$folder" ] || fail "as $old the installer installed something"
done
$wine winecfg -v win10 >/dev/null 2>&1

# Version 0.9: the zip's files and one of its own, in a folder of its own.
mkdir "$work/old"
unzip -q "$zip" -d "$work/old"
mkdir "$work/old/imageformats"
echo "only in 0.9" >"$work/old/imageformats/old-only.txt"
printf '%s\n' QUORVEL_VERSION=0.9 QUORVEL_FILE_VERSION=0.9.0.0 "QUORVEL_PUBLISHER='Quorvel maintainers'" >"$work/old-release.env"
bash "$repo/packaging/windows/make_installer.sh" "$work/old" "$work/old-release.env" "$icon" "$work/old-setup.exe"
run_setup "$work/old-setup.exe" /S
[ "$status" = 0 ] || fail "installing 0.9 ended with $status"
[ -f "$folder/imageformats/old-only.txt" ] || fail "0.9 was not installed"
[ "$(entry_value DisplayVersion)" = 0.9 ] || fail "after installing 0.9 the entry says '$(entry_value DisplayVersion)'"

# The upgrade, with 0.9's window open.
start_from_shortcut
run_setup "$installer" /S
[ "$status" = 0 ] || fail "the upgrade ended with $status"
no_window || fail "the upgrade left 0.9's window open"
[ ! -e "$folder/imageformats" ] || fail "the upgrade left 0.9's files: $(ls -R "$folder/imageformats")"

# Setup again, with the installed program showing its error box over its
# window, and the same program from another folder showing the same: setup
# is not waited for with run_setup, which would wait for the other one too.
cp "$boxed" "$folder/quorvel.exe"
mkdir "$drive_c/Other"
cp "$boxed" "$drive_c/Other/quorvel.exe"
$wine 'C:\Other\quorvel.exe' >>"$work/start.log" 2>&1 &
pids+=($!)
$wine start /unix "$shortcut" >>"$work/start.log" 2>&1
for _ in $(seq 600); do [ "$(quorvel_windows)" -ge 4 ] && break; sleep 0.1; done
[ "$(quorvel_windows)" = 4 ] || fail "the two programs show $(quorvel_windows) windows titled Quorvel, not 4"
status=0
$wine "$installer" /S >>"$work/setup.log" 2>&1 || status=$?
running=$(prefix_programs)
[ "$status" = 0 ] || fail "setup over the program showing its error box ended with $status; running: $running"
! grep -qF 'Program Files\Quorvel\quorvel.exe' <<<"$running" || fail "setup left the installed program running: $running"
grep -qF 'C:\Other\quorvel.exe' <<<"$running" && [ "$(quorvel_windows)" = 2 ] \
    || fail "setup closed windows of the other program: $(quorvel_windows) windows left; running: $running"
kill "${pids[-1]}"
timeout 60 $wineserver -w || fail "Wine's programs did not end: $(prefix_programs | paste -sd ';')"
unzip -q "$zip" -d "$work/new"
differences=$(diff -r "$work/new" "$folder" | grep -v 'Only in .*: uninstall\.exe$' || true)
[ -z "$differences" ] || fail "the installed files differ from the zip's: $differences"
[ -f "$folder/uninstall.exe" ] || fail "no uninstaller"
entries=$($wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | grep -ci 'DisplayName.*Quorvel' || true)
[ "$entries" = 1 ] || fail "$entries Apps & features entries for Quorvel"

# The entry.
windows_folder='C:\Program Files\Quorvel'
kilobytes=$(du -sk --apparent-size "$folder" | cut -f1)
size=$(( $(entry_value EstimatedSize) ))
for expected in "DisplayName=Quorvel" "DisplayVersion=$version" "Publisher=Quorvel maintainers" \
    "DisplayIcon=$windows_folder\\quorvel.exe,0" "InstallLocation=$windows_folder" \
    "UninstallString=\"$windows_folder\\uninstall.exe\"" "QuietUninstallString=\"$windows_folder\\uninstall.exe\" /S" \
    "NoModify=0x1" "NoRepair=0x1"; do
    name=${expected%%=*}
    [ "$(entry_value "$name")" = "${expected#*=}" ] || fail "the entry's $name is '$(entry_value "$name")', not '${expected#*=}'"
done
[ "$size" -ge $((kilobytes * 9 / 10)) ] && [ "$size" -le $((kilobytes * 11 / 10)) ] \
    || fail "the entry's EstimatedSize is $size KB; the folder holds $kilobytes KB"

# The shortcut takes its icon from the installed program and starts in its
# folder (its target is tried below: the program is started from it). The
# icon that Wine's shell took from it for the menu entry is ICON, in every size.
[ -f "$shortcut" ] || fail "no Start-menu shortcut"
texts=$(strings -el "$shortcut")
grep -qxF "$windows_folder" <<<"$texts" && grep -qF "$windows_folder\\quorvel.exe" <<<"$texts" \
    || fail "the shortcut's folder or icon is not the installed quorvel.exe: $texts"
mkdir "$work/icon"
icotool -x -o "$work/icon" "$icon"
for picture in "$work"/icon/*.png; do
    side=$(sed 's/.*_\([0-9]*\)x[0-9]*x32\.png$/\1/' <<<"$picture")
    shown=$(ls "$XDG_DATA_HOME/icons/hicolor/${side}x${side}/apps/"*_quorvel.0.png 2>/dev/null | head -1)
    [ -n "$shown" ] || fail "no ${side}-pixel icon for the shortcut"
    differ=$(compare -metric AE "$picture" "$shown" null: 2>&1 || true)
    [ "$differ" = 0 ] || fail "the shortcut's ${side}-pixel icon differs from the program's in $differ pixels"
done

# The firewall: each install adds the rule for the installed program (after
# deleting any of the same name and program), each uninstall deletes it.
rule="name=\"Quorvel\" dir=in program=\"$windows_folder\\quorvel.exe\""
add="advfirewall firewall add rule $rule action=allow protocol=UDP localport=7080 profile=any enable=yes"
delete="advfirewall firewall delete rule $rule"
expected_calls=("$delete" "$add" "$delete" "$delete" "$add" "$delete" "$delete" "$add")
mapfile -t made < <(tr -d '\r' <"$calls" | sed 's/^"[^"]*netsh\.exe" //')
[ "${made[*]}" = "${expected_calls[*]}" ] || fail "netsh was called with:$(printf '\n  %s' "${made[@]}")"

# The installed program, started from the shortcut.
start_from_shortcut
ports=$(ss -H -uln)
grep -q '0\.0\.0\.0:7080 ' <<<"$ports" || fail "0.0.0.0:7080 is not bound: $ports"
grep -q '\[::\]:7080 ' <<<"$ports" || fail "[::]:7080 is not bound: $ports"
sleep 2  # the first paint
import -window "$window" "$screenshot" 2>/dev/null || fail "no screenshot"

# The quiet uninstall command of the entry, with the window open.
uninstall=$(entry_value QuietUninstallString)
program=${uninstall#\"}
program=${program%%\"*}
run_setup "$program" ${uninstall##*\" }
[ "$status" = 0 ] || fail "the uninstaller ended with $status"
no_window || fail "the uninstaller left the window open"
ss -H -uln | grep -q ':7080 ' && fail "port 7080 is still held"
[ ! -e "$folder" ] || fail "files left: $(find "$folder")"
[ ! -e "$shortcut" ] || fail "the shortcut is left"
$wine reg query "$key" >/dev/null 2>&1 && fail "the Apps & features entry is left"
mapfile -t made < <(tr -d '\r' <"$calls" | sed 's/^"[^"]*netsh\.exe" //')
[ "${made[-1]}" = "$delete" ] && [ ${#made[@]} = 9 ] || fail "the uninstaller did not delete the firewall rule:$(printf '\n  %s' "${made[@]}")"
echo "PASS: the installer under Wine (refused on 8.1 and 7; 0.9 upgraded to $version with its window open; set up again over the program's error box, the other program's left; entry of $size KB; shortcut icon in $(ls "$work"/icon | wc -l) sizes; firewall rule added and deleted; window: $screenshot; nothing left after the quiet uninstall)"
