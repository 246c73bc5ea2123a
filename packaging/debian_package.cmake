# The Debian package, written by scripts/package.sh with CPack:
# dist/quorvel_<version>_amd64.deb.
#
# Its version: QUORVEL_VERSION (cmake/release.cmake).

set(QUORVEL_MAINTAINER "Quorvel maintainers <maintainers@quorvel.example>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VERSION ${QUORVEL_VERSION})
set(CPACK_PACKAGE_VENDOR "Quorvel")
set(CPACK_PACKAGE_CONTACT ${QUORVEL_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QUORVEL_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quorvel.example/")
# Depends comes from the binary's libraries (dpkg-shlibdeps), plus the font
# the entries' lines are measured for: without it the desktop's wider
# sans-serif cuts off the end of the MAC address.
# The X11 and offscreen platform plugins ship with libqt6gui6; the Wayland
# one is recommended, not required: the program works fully on X11 and
# through XWayland, and apt installs recommended packages by default, so a
# Wayland desktop gets the native window (focused, sharp at fractional
# scales) while a minimal X11-only system need not carry libwayland.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-crosextra-carlito")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The folders CPack's staging install creates would take the builder's umask
# (group-writable under 002) into the package, and onto every machine that
# installs it; files get their modes from install() already.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# The ufw profile lives in /etc: a conffile, kept on remove and removed on purge.
# prerm takes the firewalld service out of every zone on remove, postrm the
# ufw rules of the profile on purge (CPack makes both scripts 0755).
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/conffiles
    ${PROJECT_SOURCE_DIR}/packaging/prerm
    ${PROJECT_SOURCE_DIR}/packaging/postrm)
# The first line is the synopsis; the others are the long description, one
# leading space added by CPack.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"find Quorvel network devices on the local network
Quorvel lists the Quorvel devices on the local IPv4 network. A click on its
refresh picture broadcasts a discovery request on UDP port 7080 from every
address of the computer; every device that answers is listed with its IP
address, version, name and serial number, DHCP and HTTP state, ports,
network mask and MAC address.
.
The package brings a firewalld service and a ufw application profile, both
named quorvel, that let the devices' answers in; neither is enabled by
installing the package.")

include(CPack)
