# Debian's hardening flags (fortified functions, stack protector, full RELRO,
# immediate binding), as a package built by Debian's own tools has them,
# from dpkg-buildflags. Included before project(): they become the initial
# values of the compiler's and linker's flags, so a build folder configured
# by the package preset alone has them.
# dpkg-buildflags maps the current folder to "." in debug information
# (-ffile-prefix-map): it runs in the source folder, where the package's
# sources are.
find_program(QUORVEL_DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT QUORVEL_DPKG_BUILDFLAGS)
    message(FATAL_ERROR "QUORVEL_DEBIAN_BUILD_FLAGS needs dpkg-buildflags: bash scripts/setup.sh package")
endif()
foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                ${QUORVEL_DPKG_BUILDFLAGS} --get ${kind}
        WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
        OUTPUT_VARIABLE debian_${kind} OUTPUT_STRIP_TRAILING_WHITESPACE
        COMMAND_ERROR_IS_FATAL ANY)
endforeach()
set(CMAKE_CXX_FLAGS_INIT "${debian_CPPFLAGS} ${debian_CXXFLAGS}")
foreach(kind EXE SHARED MODULE)
    set(CMAKE_${kind}_LINKER_FLAGS_INIT "${debian_LDFLAGS}")
endforeach()
