# Debian and RPM packages, one per install component (the first line of each description is its
# summary): tsmpio-hdlm-plugin, tsmpio-hdlm-plugin-dev (-devel on RPM) and tsmpio-hdlm-tools, with
# the same files in both formats but the library folder (lib/<multiarch> against lib64).
# `cpack --config <build>/CPackConfig.cmake` writes them to <build>/packages; `make package` builds
# the released ones in an older root (packaging/release-build).

find_program(TSMPIO_RPMBUILD rpmbuild)
if(TSMPIO_RPMBUILD)
  set(CPACK_GENERATOR DEB RPM)
else()
  message(STATUS "rpmbuild not found: cpack makes only the Debian packages (install rpm, scripts/bootstrap)")
  set(CPACK_GENERATOR DEB)
endif()
set(CPACK_PACKAGE_NAME tsmpio-hdlm)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "TsMPIO_HDLM project")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Each format's library folder and library mode, passed to the install it runs.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/PackageFormat.cmake)
set(CPACK_TSMPIO_DEB_LIBDIR ${CMAKE_INSTALL_LIBDIR})
set(CPACK_TSMPIO_RPM_LIBDIR ${TSMPIO_RPM_LIBDIR})
set(CPACK_PACKAGE_CONTACT "${TSMPIO_PACKAGE_CONTACT}")
if(TSMPIO_PACKAGE_URL)
  set(CPACK_PACKAGE_HOMEPAGE_URL "${TSMPIO_PACKAGE_URL}")
endif()
# Debug information stays in the build tree (the ABI check reads it there).
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${TSMPIO_INSTALLED_COMPONENTS})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TSMPIO_PACKAGE_CONTACT}")
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
libTsMPIO_HDLM.so, which the agent loads to find HDLM devices, their paths
and their partitions. Built for agents of the C++11 std::string ABI (GCC 5
and later); the agent provides libTsLib.so, libZoUtils.so and libkpartx.so.")

set(CPACK_COMPONENT_PLUGIN_OLD_ABI_DISPLAY_NAME "HDLM multipath plug-in for old-ABI agents")
set(CPACK_DEBIAN_PLUGIN_OLD_ABI_PACKAGE_NAME tsmpio-hdlm-plugin-oldabi)
set(CPACK_DEBIAN_PLUGIN_OLD_ABI_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_PLUGIN_OLD_ABI_DESCRIPTION
  "HDLM multipath plug-in for agents of the old std::string ABI
libTsMPIO_HDLM.so for agents built with the old (GCC 4) std::string ABI, as
agents that support RHEL 7 are; it loads with RHEL 7's stock C++ runtime.
Agents of the C++11 ABI take tsmpio-hdlm-plugin instead.")

set(CPACK_COMPONENT_DEV_DISPLAY_NAME "HDLM multipath plug-in header")
set(CPACK_COMPONENT_DEV_DEPENDS plugin)
set(CPACK_DEBIAN_DEV_PACKAGE_NAME tsmpio-hdlm-plugin-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DESCRIPTION
  "Header of the HDLM multipath plug-in, for the agent's sources
TsMPIO_HDLM.h declares the entry points the agent calls in libTsMPIO_HDLM.so
and the partition record they fill.")

set(CPACK_COMPONENT_TOOLS_DISPLAY_NAME "Probe and HDLM simulator")
set(CPACK_COMPONENT_TOOLS_DEPENDS plugin)
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME tsmpio-hdlm-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION admin)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
  "Probe and HDLM simulator for the HDLM multipath plug-in
mpio-probe loads the plug-in and shows every entry point's answer; hdlm-sim
runs a command inside a simulated HDLM host. Stand-ins of the agent's
libraries are kept in a private folder, so they never replace a host's own.")

# RPM: the same components, names and summaries. rpm's own scan derives the requirements from the
# ELF files (libc.so.6(GLIBC_2.17)(64bit) and the like), so they follow the floors by themselves.
# The host's libraries come with the agent, not from a package, so they are not required; the
# private stand-ins are not offered to other packages either. The system's folders stay the
# system's (the filesystem package owns them).
set(CPACK_RPM_COMPONENT_INSTALL ON)
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_RELEASE 1)
set(CPACK_RPM_PACKAGE_LICENSE "Proprietary")
set(CPACK_RPM_PACKAGE_AUTOREQPROV ON)
set(CPACK_RPM_PACKAGE_VENDOR "${CPACK_PACKAGE_VENDOR}")
# Libraries are installed 0755 in the .rpms, as RPM hosts have them (rpm's scan reads executable
# ELF files only). Its /usr/lib/.build-id links would be files the .debs do not have. The packager
# is the one contact the .debs name as maintainer.
set(CPACK_RPM_SPEC_MORE_DEFINE
  "%global __requires_exclude ^lib(TsLib|ZoUtils|kpartx)\\.so
%global __provides_exclude_from ^/usr/lib.*/tsmpio-hdlm.*/.*$
%global _build_id_links none
%define packager ${TSMPIO_PACKAGE_CONTACT}")
# No empty scriptlets: the packages need none, and CMake 3.18's own build recipe writes every one.
set(CPACK_RPM_USER_BINARY_SPECFILE ${PROJECT_SOURCE_DIR}/packaging/rpm-build-recipe.in)
set(CPACK_RPM_PLUGIN_PACKAGE_NAME tsmpio-hdlm-plugin)
set(CPACK_RPM_PLUGIN_PACKAGE_GROUP "System Environment/Libraries")
set(CPACK_RPM_PLUGIN_OLD_ABI_PACKAGE_NAME tsmpio-hdlm-plugin-oldabi)
set(CPACK_RPM_PLUGIN_OLD_ABI_PACKAGE_GROUP "System Environment/Libraries")
set(CPACK_RPM_DEV_PACKAGE_NAME tsmpio-hdlm-plugin-devel)
set(CPACK_RPM_DEV_PACKAGE_GROUP "Development/Libraries")
set(CPACK_RPM_DEV_PACKAGE_ARCHITECTURE noarch)
set(CPACK_RPM_DEV_PACKAGE_REQUIRES "tsmpio-hdlm-plugin = ${PROJECT_VERSION}")
set(CPACK_RPM_TOOLS_PACKAGE_NAME tsmpio-hdlm-tools)
set(CPACK_RPM_TOOLS_PACKAGE_GROUP "Applications/System")
set(CPACK_RPM_TOOLS_PACKAGE_REQUIRES "tsmpio-hdlm-plugin = ${PROJECT_VERSION}")
# The host's filesystem package owns the standard folders.
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION
  /usr/${TSMPIO_RPM_LIBDIR} /usr/lib /usr/share/doc /usr/share/man /usr/share/man/man1 /usr/include)

# Each .rpm's summary is the first line of its component's description, as the .debs' is.
foreach(component PLUGIN PLUGIN_OLD_ABI DEV TOOLS)
  string(REGEX REPLACE "\n.*" "" CPACK_RPM_${component}_PACKAGE_SUMMARY "${CPACK_COMPONENT_${component}_DESCRIPTION}")
endforeach()

include(CPack)
