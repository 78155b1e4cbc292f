# Debian packages from one build: `cpack -G DEB` in the release build makes
#   libvexplccommon2      the six shared libraries and their soname links,
#   libvexplccommon-dev   headers, CMake package, pkg-config file, unversioned links,
#   vexplc-tools          plcsim, plchost, their man pages, the examples, the Wireshark dissector.
# Each package's run-time dependencies come from dpkg-shlibdeps.

set(CPACK_PACKAGE_NAME vexplc)
set(CPACK_PACKAGE_VENDOR "vexplc developers")
set(CPACK_PACKAGE_CONTACT "vexplc developers <vexplc@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "PLC link of an injection-moulding machine host over UDP")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_COMPONENTS_ALL libraries development tools)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
# The tools link the libraries of the sibling package: dpkg-shlibdeps looks for them in the build
# tree; the dependency on that package comes from the component dependency below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${PROJECT_BINARY_DIR}" "${PROJECT_BINARY_DIR}/framework")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

set(CPACK_DEBIAN_LIBRARIES_PACKAGE_NAME libvexplccommon${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_LIBRARIES_DESCRIPTION
    "vexplc shared libraries: the PLC communication source and its platform libraries")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libvexplccommon-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_ARCHITECTURE_INDEPENDENT OFF)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "rapidjson-dev, libasio-dev")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
    "vexplc development files: headers, CMake package and pkg-config file")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME vexplc-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION net)
set(CPACK_DEBIAN_TOOLS_DESCRIPTION
    "vexplc field tools: plcsim (simulated PLC), plchost (host CLI), Wireshark dissector")

include(CPack)
cpack_add_component(libraries DISPLAY_NAME "Shared libraries")
cpack_add_component(development DISPLAY_NAME "Development files" DEPENDS libraries)
cpack_add_component(tools DISPLAY_NAME "Tools" DEPENDS libraries)
