# Install rules and the Debian package. Everything the program loads lives in one folder,
# laid out as in the build tree, so the plug-in manager and the translations find their
# files beside the program wherever it is installed:
#
#   /usr/lib/tavrolix-configurator/   configurator, tavrolix-cli, libtavrolix_core.so,
#                                     plugins/, translations/, licenses/
#   /usr/bin/tavrolix-configurator, /usr/bin/tavrolix-cli   links into that folder
#
# plus the desktop entry, the icon, the AppStream metainfo and the documents under
# /usr/share. `scripts/make-package.sh` builds the package.
include(GNUInstallDirs)

set(TAVROLIX_PACKAGE_NAME tavrolix-configurator)
set(TAVROLIX_APP_ID com.tavrolix.configurator)
set(TAVROLIX_INSTALL_DIR lib/${TAVROLIX_PACKAGE_NAME})

get_property(device_plugins GLOBAL PROPERTY TAVROLIX_DEVICE_PLUGINS)
get_property(qm_files GLOBAL PROPERTY TAVROLIX_QM_FILES)

# The programs find the core library beside them, the plug-ins one folder up.
set_target_properties(configurator tavrolix-cli PROPERTIES INSTALL_RPATH "$ORIGIN")
set_target_properties(${device_plugins} PROPERTIES INSTALL_RPATH "$ORIGIN/..")

install(TARGETS configurator tavrolix-cli RUNTIME DESTINATION ${TAVROLIX_INSTALL_DIR})
install(TARGETS tavrolix_core LIBRARY DESTINATION ${TAVROLIX_INSTALL_DIR} NAMELINK_SKIP)
install(TARGETS ${device_plugins} LIBRARY DESTINATION ${TAVROLIX_INSTALL_DIR}/plugins)
install(FILES ${qm_files} DESTINATION ${TAVROLIX_INSTALL_DIR}/translations)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/app/licenses DESTINATION ${TAVROLIX_INSTALL_DIR})

install(CODE "
    set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(MAKE_DIRECTORY \"\${bin}\")
    file(CREATE_LINK ../${TAVROLIX_INSTALL_DIR}/configurator
         \"\${bin}/${TAVROLIX_PACKAGE_NAME}\" SYMBOLIC)
    file(CREATE_LINK ../${TAVROLIX_INSTALL_DIR}/tavrolix-cli \"\${bin}/tavrolix-cli\" SYMBOLIC)
    message(STATUS \"Linked: \${bin}/${TAVROLIX_PACKAGE_NAME} and \${bin}/tavrolix-cli\")
")

install(FILES packaging/${TAVROLIX_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/${TAVROLIX_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES app/icons/favicon.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps
        RENAME ${TAVROLIX_APP_ID}.png)
install(FILES packaging/copyright README.md CHANGELOG.md docs/configuration-file.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${TAVROLIX_PACKAGE_NAME})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${TAVROLIX_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Tavrolix)
set(CPACK_PACKAGE_CONTACT "Tavrolix <support@tavrolix.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configurator for Tavrolix Modbus RTU field devices")
set(CPACK_PACKAGE_DESCRIPTION
"Reads, edits and writes the settings of Tavrolix devices on an RS-485 line
(LED and column indicators, voltmeter, analog, digital input and relay output
modules, GSM SMS modem), shows their live values, saves and restores
configuration files, scans the bus, shows the Modbus traffic and updates
firmware over the serial bootloader. Comes with tavrolix-cli, the same jobs
from a shell.

The serial ports (/dev/ttyUSB*, /dev/ttyS*) belong to the group dialout:
add yourself to it once (sudo adduser <your user name> dialout) and log in
again, or the program cannot open a port.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tavrolix.com/configurator")
# The libraries come from dpkg-shlibdeps; Qt's window-system plug-in is not linked.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${TAVROLIX_BIN_DIR})
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
