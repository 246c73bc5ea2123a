# What every package and the Windows program's version resource say of the
# release, worked out here and nowhere else:
#   QUORVEL_VERSION       the packages' version
#   QUORVEL_FILE_VERSION  four dot-separated numbers (Windows' version
#                         resources and the installer's VIProductVersion)
#   QUORVEL_PUBLISHER     who publishes the program
#   QUORVEL_PACKAGE_DATE  the commit's date, for the Debian changelog
# Every configure writes the first three to <build folder>/quorvel-release.env,
# which the scripts that package source.
#
# The version: the project() version when HEAD carries the release tag v<version> (or when
# there is no git checkout, as in a source tarball); otherwise
# <version>+git<commit date>.<short hash>, which Debian orders after the
# release <version> and before the next one, and which names the commit.

set(QUORVEL_PUBLISHER "Quorvel maintainers")

find_package(Git QUIET)
set(QUORVEL_VERSION ${PROJECT_VERSION})
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
            set(QUORVEL_VERSION ${PROJECT_VERSION}+git${commit_day}.${commit_hash})
        endif()
    endif()
endif()
if(NOT QUORVEL_PACKAGE_DATE)
    string(TIMESTAMP QUORVEL_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
endif()

# The project() version's numbers, padded with zeros to four (1.0 is 1.0.0.0).
set(QUORVEL_FILE_VERSION ${PROJECT_VERSION_MAJOR})
foreach(number MINOR PATCH TWEAK)
    if("${PROJECT_VERSION_${number}}" STREQUAL "")
        string(APPEND QUORVEL_FILE_VERSION .0)
    else()
        string(APPEND QUORVEL_FILE_VERSION .${PROJECT_VERSION_${number}})
    endif()
endforeach()

# Only rewritten when it changes: nothing that depends on it rebuilds for nothing.
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/quorvel-release.env CONTENT [[
QUORVEL_VERSION=@QUORVEL_VERSION@
QUORVEL_FILE_VERSION=@QUORVEL_FILE_VERSION@
QUORVEL_PUBLISHER='@QUORVEL_PUBLISHER@'
]] @ONLY)
