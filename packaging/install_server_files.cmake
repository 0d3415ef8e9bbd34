# Install step of the server's systemd unit and default configuration, run once the prefix is known.
# The configuration file lives in /etc for the prefix /usr and under the prefix otherwise, where
# GNUInstallDirs puts it too; the unit goes where systemd looks for packaged units.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(sysconf_dir /etc)
else()
    set(sysconf_dir "${CMAKE_INSTALL_PREFIX}/etc")
endif()
set(DEALBRIX_SERVER_PROGRAM "${CMAKE_INSTALL_PREFIX}/${DEALBRIX_GAMES_DIR}/dealbrix-server")
set(DEALBRIX_SERVER_CONFIG "${sysconf_dir}/default/dealbrix-server")

set(unit "${DEALBRIX_PACKAGING_BINARY_DIR}/unit/dealbrix-server.service")
configure_file("${DEALBRIX_PACKAGING_SOURCE_DIR}/dealbrix-server.service.in" "${unit}" @ONLY)
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/lib/systemd/system" TYPE FILE FILES "${unit}")
file(INSTALL DESTINATION "${sysconf_dir}/default" TYPE FILE
     FILES "${DEALBRIX_PACKAGING_SOURCE_DIR}/server/dealbrix-server.default" RENAME dealbrix-server)
