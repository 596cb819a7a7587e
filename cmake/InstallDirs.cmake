# Where an install puts things; shared by the install rules and the package tests.
#   TSMPIO_LIBDIR          the library folder: CMAKE_INSTALL_LIBDIR (lib/<multiarch> on Debian) for
#                          `cmake --install` and the .debs, TSMPIO_RPM_LIBDIR (lib64) for the .rpms
#   TSMPIO_PLUGIN_DIR      the plug-in's folder: <library folder>/tsmpio-hdlm-plugin by default
#   TSMPIO_PRIVATE_LIBDIR  the stand-ins of the host's libraries, apart from the system's
#   TSMPIO_TOPOLOGY_DIR    the simulator's shipped topologies
# The library folder differs by package format, and one build makes both: install rules name it
# as ${TSMPIO_LIBDIR}, resolved when the install runs (cmake/InstallLibdir.cmake.in).

# Debian keeps libraries under lib/<multiarch> whatever the prefix (debhelper passes the same). Set
# before GNUInstallDirs so -DCMAKE_INSTALL_LIBDIR wins.
if(CMAKE_LIBRARY_ARCHITECTURE AND NOT DEFINED CACHE{CMAKE_INSTALL_LIBDIR})
  set(CMAKE_INSTALL_LIBDIR "lib/${CMAKE_LIBRARY_ARCHITECTURE}" CACHE PATH "Object code libraries (lib)")
endif()
include(GNUInstallDirs)
# RHEL, Oracle Linux and SLES keep 64-bit libraries in /usr/lib64.
set(TSMPIO_RPM_LIBDIR lib64 CACHE STRING "The library folder under the prefix in the .rpms")
# The agent dlopens the plug-in by path: a folder of its own, not the linker's library folder (no
# SONAME version, ldconfig or -dev symlink to keep). An integrator may name the agent's own
# plug-in folder instead (absolute, or relative to the prefix).
set(TSMPIO_PLUGIN_INSTALL_DIR "" CACHE STRING
  "Where the plug-in is installed (empty: <library folder>/tsmpio-hdlm-plugin)")

set(TSMPIO_LIBDIR "\${TSMPIO_LIBDIR}")
if(TSMPIO_PLUGIN_INSTALL_DIR)
  set(TSMPIO_PLUGIN_DIR "${TSMPIO_PLUGIN_INSTALL_DIR}")
else()
  set(TSMPIO_PLUGIN_DIR "${TSMPIO_LIBDIR}/tsmpio-hdlm-plugin")
endif()
set(TSMPIO_PRIVATE_LIBDIR "${TSMPIO_LIBDIR}/tsmpio-hdlm")
set(TSMPIO_TOPOLOGY_DIR "${CMAKE_INSTALL_DATADIR}/tsmpio-hdlm/topologies")
