# The Debian package, built by scripts/package with CPack from what "cmake --install" puts in
# place: build/package/bildwart_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME bildwart)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Halvorn)
set(CPACK_PACKAGE_CONTACT "${BILDWART_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_SOURCE_DIR}/build/package)
# The binaries of the RelWithDebInfo build carry their debug information; the package does not.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${BILDWART_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://halvorn.de/bildwart/)
# The synopsis, then the extended description; CPack indents it and marks the blank lines.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "remote control for SMART interactive displays over RS-232
Bildwart remote-controls SMART interactive flat-panel displays of the QX and
RX series through their RS-232 control port and a USB-serial adapter: power,
input, volume, brightness, picture freeze and screen shade.

It doubles as a serial-line bench: a traffic log of every byte, a raw mode,
test patterns for a terminal program on a second computer, a bridge-plug
loopback test and a built-in display simulator. The command-line tool
bildwartctl does the same from scripts, with JSON output.

The user interface and the messages are in German.")
# Qt, libudev and the C++ runtime as the binaries link them; dpkg-shlibdeps works them out.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the programs load at run time without linking it: the icon theme and the SVG plugin for
# the window's icons, Qt's German button and dialog texts, the terminal's font with the CR/LF
# control pictures (see the README's runtime dependencies).
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "adwaita-icon-theme, libqt6svg6, qt6-translations-l10n, fonts-freefont-ttf")

include(CPack)
