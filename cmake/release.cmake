# What every package and the Windows program's version resource say of the
# release: QUORVEL_PACKAGE_VERSION, QUORVEL_PUBLISHER, and
# QUORVEL_PACKAGE_DATE (the commit's date, for the Debian changelog).
#
# The version: the project() version when HEAD carries the release tag v<version> (or when
# there is no git checkout, as in a source tarball); otherwise
# <version>+git<commit date>.<short hash>, which Debian orders after the
# release <version> and before the next one, and which names the commit.
# Worked out at configure time: the scripts that package configure first.
# The version and the publisher are also kept in the cache, where
# scripts/package-windows.sh reads them.

set(QUORVEL_PUBLISHER "Quorvel maintainers" CACHE INTERNAL "Who publishes the program" FORCE)

find_package(Git QUIET)
set(package_version ${PROJECT_VERSION})
set(QUORVEL_PACKAGE_DATE "")
if(GIT_FOUND AND EXISTS ${PROJECT_SOURCE_DIR}/.git)
    execute_process(COMMAND ${GIT_EXECUTABLE} describe --tags --exact-match --match v${PROJECT_VERSION} HEAD
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} RESULT_VARIABLE untagged OUTPUT_QUIET ERROR_QUIET)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%cd%n%h%n%cD --date=format:%Y%m%d
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE head_commit
        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(head_commit)
        string(REPLACE "\n" ";" head_commit "${head_commit}")
        list(GET head_commit 0 commit_day)
        list(GET head_commit 1 commit_hash)
        list(GET head_commit 2 QUORVEL_PACKAGE_DATE)
        if(untagged)
            set(package_version ${PROJECT_VERSION}+git${commit_day}.${commit_hash})
        endif()
    endif()
endif()
if(NOT QUORVEL_PACKAGE_DATE)
    string(TIMESTAMP QUORVEL_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
endif()
set(QUORVEL_PACKAGE_VERSION ${package_version} CACHE INTERNAL "The packages' version (cmake/package_version.cmake)" FORCE)

# The release for scripts and the Windows installer, read with
# `. <build folder>/quorvel-release.env`: the package version, the four
# numbers of Windows' version resources (1.0 is 1.0.0.0) and the publisher.
string(REGEX MATCH "^[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+" file_version ${PROJECT_VERSION}.0.0.0)
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/quorvel-release.env CONTENT
"QUORVEL_VERSION=${QUORVEL_PACKAGE_VERSION}
QUORVEL_FILE_VERSION=${file_version}
QUORVEL_PUBLISHER='${QUORVEL_PUBLISHER}'
")
