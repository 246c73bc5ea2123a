# What the Windows cross build takes from the host, checked before anything
# is built (the windows preset includes this file at the end of project()):
#   - Qt for MinGW-w64 (QUORVEL_QT_MINGW, from scripts/build-qt-windows.sh);
#   - the regular build (QUORVEL_HOST_BUILD, build/), for the native programs
#     a cross build cannot make: draw_pictures draws the Windows icon, and the
#     tests under Wine use the device simulator, the window-close request and
#     the icon theme's pictures. The Windows build builds them there itself.
# Its tests run under Wine, each in a lab of its own (tests/windows/wine_lab.sh).
include_guard(GLOBAL)

# Taken from the environment when it names one, so that a new Qt build is
# picked up by the next configure; kept in the cache otherwise.
set(QUORVEL_QT_MINGW "" CACHE PATH "Qt for MinGW-w64: bash scripts/build-qt-windows.sh prints it")
if(NOT "$ENV{QUORVEL_QT_MINGW}" STREQUAL "")
    set(QUORVEL_QT_MINGW "$ENV{QUORVEL_QT_MINGW}" CACHE PATH "Qt for MinGW-w64: bash scripts/build-qt-windows.sh prints it" FORCE)
endif()
if(NOT EXISTS "${QUORVEL_QT_MINGW}/lib/cmake/Qt6/Qt6Config.cmake")
    message(FATAL_ERROR "The Windows build needs Qt for MinGW-w64, and QUORVEL_QT_MINGW ('${QUORVEL_QT_MINGW}') "
        "names none. Get it (built once per machine, for hours the first time; then it is found at once) "
        "and configure again:\n"
        "    bash scripts/setup.sh build windows\n"
        "    export QUORVEL_QT_MINGW=$(bash scripts/build-qt-windows.sh)\n"
        "    cmake --preset windows")
endif()
list(APPEND CMAKE_PREFIX_PATH ${QUORVEL_QT_MINGW})
list(APPEND CMAKE_FIND_ROOT_PATH ${QUORVEL_QT_MINGW})

set(QUORVEL_HOST_BUILD ${PROJECT_SOURCE_DIR}/build CACHE PATH
    "The regular build, whose native programs the Windows build and its tests use")
if(NOT EXISTS ${QUORVEL_HOST_BUILD}/CMakeCache.txt)
    message(FATAL_ERROR "The Windows build needs the regular build in ${QUORVEL_HOST_BUILD} for the native "
        "programs a cross build cannot make (it builds them there itself). Configure it, then this one again:\n"
        "    cmake --preset regular\n"
        "    cmake --preset windows")
endif()
set(QUORVEL_HOST_DRAW_PICTURES ${QUORVEL_HOST_BUILD}/resources/draw_pictures)
set(QUORVEL_HOST_SIMULATOR ${QUORVEL_HOST_BUILD}/tools/quorvel-sim)
set(QUORVEL_HOST_SEND_CLOSE ${QUORVEL_HOST_BUILD}/tests/send_close_request)
set(QUORVEL_HOST_ICONS ${QUORVEL_HOST_BUILD}/resources/hicolor)
add_custom_target(quorvel_host_programs ALL
    COMMAND ${CMAKE_COMMAND} --build ${QUORVEL_HOST_BUILD}
            --target draw_pictures quorvel-sim send_close_request quorvel_icons
    BYPRODUCTS ${QUORVEL_HOST_DRAW_PICTURES} ${QUORVEL_HOST_SIMULATOR} ${QUORVEL_HOST_SEND_CLOSE}
    COMMENT "The regular build's native programs for the Windows build and its tests"
    USES_TERMINAL)

# Where the Windows package's script finds Qt's DLLs and plugins.
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/quorvel-windows.env CONTENT "QUORVEL_QT_MINGW='${QUORVEL_QT_MINGW}'\n")

# Every test that needs Wine runs in a lab of its own (QUORVEL_IN_WINE_LAB,
# the command before the test's); a Qt test with devices answering its port,
# and Qt's and MinGW's DLLs found through the folders given to
# run-under-wine.sh.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
    OUTPUT_VARIABLE mingw_runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
cmake_path(GET mingw_runtime PARENT_PATH mingw_runtime)
set(QUORVEL_IN_WINE_LAB ${PROJECT_SOURCE_DIR}/tests/windows/wine_lab.sh --prefix ${CMAKE_BINARY_DIR}/wine-prefix)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QUORVEL_IN_WINE_LAB} --devices ${QUORVEL_HOST_SIMULATOR}
    ${PROJECT_SOURCE_DIR}/scripts/run-under-wine.sh
    "${QUORVEL_QT_MINGW}/bin:${mingw_runtime}:/usr/x86_64-w64-mingw32/lib")
