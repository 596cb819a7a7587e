# Debian packages, one per install component (the first line of each description is its summary): tsmpio-hdlm-plugin and tsmpio-hdlm-tools.
# `make package` (or `cpack --config <build>/CPackConfig.cmake`) writes them to <build>/packages.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tsmpio-hdlm)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "TsMPIO_HDLM project")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Debug information stays in the build tree (the ABI check reads it there).
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${TSMPIO_INSTALLED_COMPONENTS})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "TsMPIO_HDLM maintainers <tsmpio-hdlm@localhost>")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

# Library dependencies come from dpkg-shlibdeps. The plug-in's libTsLib/libZoUtils/libkpartx belong
# to the host and are left out (dpkg-shlibdeps only warns); the tools' copies are found in the package
# through the probe's $ORIGIN-relative RUNPATH.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The tools drive the plug-in, so their package pulls in the plug-in's of the same version.
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_COMPONENT_PLUGIN_DISPLAY_NAME "HDLM multipath plug-in")
set(CPACK_DEBIAN_PLUGIN_PACKAGE_NAME tsmpio-hdlm-plugin)
set(CPACK_DEBIAN_PLUGIN_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_PLUGIN_DESCRIPTION
  "HDLM multipath plug-in for a host data-protection agent
libTsMPIO_HDLM.so, which the agent loads to find HDLM devices, their paths and
their partitions, and its header TsMPIO_HDLM.h. The agent provides libTsLib.so,
libZoUtils.so and libkpartx.so.")

set(CPACK_COMPONENT_TOOLS_DISPLAY_NAME "Probe and HDLM simulator")
set(CPACK_COMPONENT_TOOLS_DEPENDS plugin)
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME tsmpio-hdlm-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION admin)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
  "Probe and HDLM simulator for the HDLM multipath plug-in
mpio-probe loads the plug-in and shows every entry point's answer; hdlm-sim runs
a command inside a simulated HDLM host. Stand-ins of the agent's libraries are
kept in a private folder, so they never replace a host's own.")

include(CPack)
