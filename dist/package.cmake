# The Debian package: quorvane_<version>_amd64.deb in the build folder (cpack, or script/package).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "${QUORVANE_MAINTAINER_NAME}")
set(CPACK_PACKAGE_CONTACT "${QUORVANE_MAINTAINER_NAME} <${QUORVANE_MAINTAINER_EMAIL}>")
set(CPACK_PACKAGE_HOMEPAGE_URL ${QUORVANE_HOMEPAGE})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "test and operate MODBUS RTU relay modules over a serial line")
# The long description; CPack puts the summary above it and turns an empty line into " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quorvane switches, pulses and delays the channels of four- and eight-channel
MODBUS RTU relay modules, reads their states, reads and changes a module's
address and baud rate, scans a bus for the addresses that answer and finds
the rate a module answers at. Its serial console sends text or hex bytes and
shows what comes back. Modules behind a network gateway are reached as
tcp:// or mbtcp:// ports.

The package holds the window program quorvane, the CRC-16 calculator crc16,
qvctl, which does the same from the command line for scripts and test
benches, and quorvane-bridge, a service that offers every module's channels
on an MQTT broker for home and building automation (installed, not enabled).

Serial devices belong to the group dialout: add your account to it once
(sudo usermod -aG dialout $USER) and log in again before opening a port.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link are found by dpkg-shlibdeps, not listed by hand; Qt's own
# translations (its standard buttons and dialogs in Chinese) are no library and are named here.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
# The bridge's example configuration is a conffile; its system user is made at install.
# Without systemd-sysusers, adduser makes the user.
if(QUORVANE_BRIDGE_CONTROL)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${QUORVANE_BRIDGE_CONTROL})
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", adduser")
endif()
include(CPack)
