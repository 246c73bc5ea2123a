#!/usr/bin/env bash
# Builds Qt for 64-bit Windows with MinGW-w64 from Debian's own qt6-base
# source package, once per machine, into a cache outside the checkout.
# The cache directory is keyed on the Qt package version and the options below;
# an existing complete build is reused. Prints the Qt prefix on stdout (all
# progress goes to stderr), so callers can do: qt=$(scripts/build-qt-windows.sh)
#
# Needs the build and windows groups (bash scripts/setup.sh build windows:
# the compilers, and the deb-src entries from which `apt-get source` fetches
# Qt's sources into the work folder below; fetching them installs nothing).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
log() { echo "build-qt-windows: $*" >&2; }

cache_root=${QUORVEL_CACHE:-/var/cache/quorvel}
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

bash scripts/setup.sh --check build windows

# The cross build uses the host's tools of exactly the same Qt version.
qt_package=$(dpkg-query -W -f='${Version}' qt6-base-dev)
qt_version=${qt_package%%+*}
qt_version=${qt_version%%-*}

options=(
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
    -DFEATURE_gui=ON -DFEATURE_widgets=ON -DFEATURE_testlib=ON
    -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF -DFEATURE_sql=OFF -DFEATURE_network=OFF
    -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF
    -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_ico=OFF -DFEATURE_zstd=OFF -DFEATURE_icu=OFF
    -DFEATURE_sql=OFF -DFEATURE_pdf=OFF -DFEATURE_sessionmanager=OFF
    # Debian's tarball lacks the wintab headers.
    -DFEATURE_tabletevent=OFF
    # Debian's cross-building patch switches it on; it is no use on Windows.
    -DFEATURE_androiddeployqt=OFF
    # Without Direct2D, DirectWrite 3 must go too, or qwindows.dll fails to link.
    -DFEATURE_direct2d=OFF -DFEATURE_directwrite3=OFF
    # Without OpenGL, dynamic OpenGL must go too, or qwindowswindow.cpp fails to compile.
    -DFEATURE_dynamicgl=OFF
    # The offscreen platform plugin (tests under Wine) needs the bundled FreeType.
    -DFEATURE_freetype=ON -DFEATURE_system_freetype=OFF
    -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_pcre2=OFF
    -DFEATURE_system_harfbuzz=OFF
    -DFEATURE_style_windowsvista=ON
    # Widgets, dialogs, models and formats the program and its tests never use:
    # a shorter build on a machine that has not built Qt yet. (Qt's own
    # compatibility code needs the main window, tool bar and menu bar, and the
    # native style's code the input dialog, tree view and table view.)
    -DFEATURE_graphicsview=OFF -DFEATURE_graphicseffect=OFF -DFEATURE_mdiarea=OFF -DFEATURE_dockwidget=OFF
    -DFEATURE_calendarwidget=OFF -DFEATURE_datetimeedit=OFF -DFEATURE_fontcombobox=OFF -DFEATURE_dial=OFF
    -DFEATURE_lcdnumber=OFF -DFEATURE_keysequenceedit=OFF -DFEATURE_commandlinkbutton=OFF -DFEATURE_toolbox=OFF
    -DFEATURE_splashscreen=OFF -DFEATURE_syntaxhighlighter=OFF -DFEATURE_gestures=OFF
    -DFEATURE_fontdialog=OFF -DFEATURE_colordialog=OFF -DFEATURE_filedialog=OFF -DFEATURE_wizard=OFF
    -DFEATURE_errormessage=OFF -DFEATURE_progressdialog=OFF
    -DFEATURE_treewidget=OFF -DFEATURE_tablewidget=OFF
    -DFEATURE_columnview=OFF -DFEATURE_datawidgetmapper=OFF -DFEATURE_completer=OFF -DFEATURE_fscompleter=OFF
    -DFEATURE_filesystemmodel=OFF -DFEATURE_undoview=OFF -DFEATURE_undocommand=OFF -DFEATURE_undostack=OFF
    -DFEATURE_undogroup=OFF -DFEATURE_textodfwriter=OFF -DFEATURE_textmarkdownreader=OFF
    -DFEATURE_textmarkdownwriter=OFF -DFEATURE_mimetype=OFF -DFEATURE_systemtrayicon=OFF -DFEATURE_movie=OFF
    -DFEATURE_jalalicalendar=OFF -DFEATURE_hijricalendar=OFF -DFEATURE_islamiccivilcalendar=OFF
    # -Os for every library, Core and Gui included (they are -O3 otherwise):
    # a shorter first build and a smaller zip; a window listing a few devices
    # does not wait on Qt's code speed.
    -DFEATURE_optimize_size=ON
)

# Changes to Debian's sources that shorten the build and change nothing the
# program uses. (Part of the cache key below.)
patch_source() {
    local source=$1
    # Core, Gui and Widgets have a precompiled header; the Windows platform
    # plugin has none, and each of its 50 files parses the same Qt and Windows
    # headers again: with one, the plugin builds in half the time.
    cat >>"$source/src/plugins/platforms/windows/CMakeLists.txt" <<'EOF_PCH'

target_precompile_headers(QWindowsIntegrationPlugin PRIVATE
    <QtCore/qt_windows.h> <QtCore/qdebug.h> <QtCore/qloggingcategory.h>
    <QtGui/qguiapplication.h> <QtGui/qwindow.h> <QtGui/qaccessible.h>
    <QtGui/qpa/qplatformwindow.h> <QtGui/qpa/qplatformintegration.h>
    <QtGui/qpa/qwindowsysteminterface.h> <QtGui/private/qguiapplication_p.h>
    <QtGui/private/qhighdpiscaling_p.h>)
EOF_PCH
    # HarfBuzz's font subsetter serves PDF font embedding: Qt never calls it,
    # and PDF is off anyway.
    sed -i '/src\/hb-subset[-a-z0-9]*\.cc/d' "$source/src/3rdparty/harfbuzz-ng/CMakeLists.txt"
}
key=$( { printf '%s\n' "$qt_package" "${options[@]}"; declare -f patch_source; cat "$repo/cmake/mingw-w64-x86_64.cmake"; } | sha256sum | cut -c1-12)
prefix=$cache_root/qt-mingw-$qt_version-$key

"${sudo[@]}" mkdir -p "$cache_root"
[ "$(id -u)" -eq 0 ] || "${sudo[@]}" chown "$(id -u):$(id -g)" "$cache_root"
# One build at a time: a second caller waits here, then reuses the result.
exec 9>"$cache_root/qt-mingw-$key.lock"
flock 9
if [ -f "$prefix/.complete" ]; then
    log "reusing $prefix"
    echo "$prefix"
    exit 0
fi
# Work left behind by builds with other options is of no use any more.
for stale in "$cache_root"/work-qt-mingw-*; do
    [ -e "$stale" ] && [ "$stale" != "$cache_root/work-qt-mingw-$key" ] && "${sudo[@]}" rm -rf "$stale"
done

started=$(date +%s)
work=$cache_root/work-qt-mingw-$key
export CCACHE_DIR=$cache_root/ccache CCACHE_BASEDIR=$work CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-3G} CCACHE_DEPEND=true
if [ -f "$work/build/build.ninja" ]; then
    # An earlier run was interrupted: ninja goes on where it stopped.
    log "resuming the build in $work"
else
    "${sudo[@]}" rm -rf "$work" "$prefix"
    "${sudo[@]}" mkdir -p "$work" "$cache_root/ccache"
    [ "$(id -u)" -eq 0 ] || "${sudo[@]}" chown "$(id -u):$(id -g)" "$cache_root" "$work" "$cache_root/ccache"

    log "fetching the source of qt6-base $qt_package"
    (cd "$work" && apt-get source -qq "qt6-base=$qt_package" >&2)
    source=$(find "$work" -maxdepth 1 -type d -name 'qt6-base-*' | head -n1)
    patch_source "$source"

    log "configuring Qt $qt_version for MinGW-w64 into $prefix"
    cmake -S "$source" -B "$work/build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache \
        "${options[@]}" >"$work/configure.log" 2>&1 || { tail -n 40 "$work/configure.log" >&2; exit 1; }
fi
log "building (long on a cold cache; log in $work/build.log)"
nice -n "${QUORVEL_NICE:-15}" cmake --build "$work/build" -j"${QUORVEL_QT_JOBS:-$(nproc)}" >>"$work/build.log" 2>&1 \
    || { tail -n 40 "$work/build.log" >&2; exit 1; }
"${sudo[@]}" mkdir -p "$prefix"
cmake --install "$work/build" >"$work/install.log" 2>&1 || { tail -n 40 "$work/install.log" >&2; exit 1; }
for file in bin/Qt6Core.dll bin/Qt6Gui.dll bin/Qt6Widgets.dll bin/Qt6Test.dll \
            plugins/platforms/qwindows.dll plugins/platforms/qoffscreen.dll \
            plugins/styles/qwindowsvistastyle.dll; do
    [ -f "$prefix/$file" ] || { log "missing after install: $file"; exit 1; }
done
touch "$prefix/.complete"
"${sudo[@]}" rm -rf "$work"
log "built in $(( $(date +%s) - started )) s"
echo "$prefix"
