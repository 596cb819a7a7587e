# Where an install puts things; shared by the install rules and the package tests.
#   TSMPIO_PRIVATE_LIBDIR  the stand-ins of the host's libraries, apart from the system's
#   TSMPIO_TOPOLOGY_DIR    the simulator's shipped topologies

# Debian keeps libraries under lib/<multiarch> whatever the prefix (debhelper passes the same), and
# mpio-probe looks for the plug-in there. Set before GNUInstallDirs so -DCMAKE_INSTALL_LIBDIR wins.
if(CMAKE_LIBRARY_ARCHITECTURE AND NOT DEFINED CACHE{CMAKE_INSTALL_LIBDIR})
  set(CMAKE_INSTALL_LIBDIR "lib/${CMAKE_LIBRARY_ARCHITECTURE}" CACHE PATH "Object code libraries (lib)")
endif()
include(GNUInstallDirs)

set(TSMPIO_PRIVATE_LIBDIR "${CMAKE_INSTALL_LIBDIR}/tsmpio-hdlm")
set(TSMPIO_TOPOLOGY_DIR "${CMAKE_INSTALL_DATADIR}/tsmpio-hdlm/topologies")
