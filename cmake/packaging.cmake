# Debian packages through CPack: libqorid1 (the two run-time libraries),
# qorid (the tool, /etc/qorid.conf as a conffile, man pages, completion,
# qorid-dump) and libqorid-dev (headers, .so links, CMake and pkg-config
# files). Build them with `make package`, which configures for /usr.

set(QORID_MAINTAINER "qorid developers <qorid@morvane.invalid>")

# Every package carries its copyright and changelog in /usr/share/doc/NAME.
set(QORID_DEB_DOC_PACKAGES libs libqorid1 tool qorid dev libqorid-dev)
set(QORID_CHANGELOG_GZ ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${QORID_CHANGELOG_GZ}
  COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/packaging/changelog > ${QORID_CHANGELOG_GZ}
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(qorid_changelog ALL DEPENDS ${QORID_CHANGELOG_GZ})
while(QORID_DEB_DOC_PACKAGES)
  list(POP_FRONT QORID_DEB_DOC_PACKAGES component package)
  install(FILES packaging/copyright ${QORID_CHANGELOG_GZ}
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}
    COMPONENT ${component})
endwhile()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qorid)
set(CPACK_PACKAGE_VENDOR "Morvane")
set(CPACK_PACKAGE_CONTACT "${QORID_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Each package's description below starts with its own synopsis line; an
# empty project-wide summary keeps CPack from putting another one first.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL libs tool dev)
set(CPACK_DEB_COMPONENT_INSTALL ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QORID_MAINTAINER}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://morvane.invalid/qorid")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The tool and the development files need the libraries of the same build.
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
# dpkg-shlibdeps looks for our own libraries in the build tree.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
  ${CMAKE_BINARY_DIR}/lib ${CMAKE_BINARY_DIR}/nolt)

set(CPACK_DEBIAN_LIBS_PACKAGE_NAME libqorid1)
set(CPACK_DEBIAN_LIBS_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBS_DESCRIPTION
  "board identification library for Morvane
libqorid works out which hardware board a Morvane system runs on, from the
board's device-tree node, the kernel release and machine type, and the
Hardware line of /proc/cpuinfo, held against a table of known boards, and
collects the board's system parameters.

This package holds libqorid.so.1 and the logging library libnolt.so.0 it
logs through.")
# ldconfig runs through dpkg's trigger; the maintainer scripts (which CPack
# would otherwise fill with ldconfig calls of their own) do nothing.
foreach(script triggers postinst postrm)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/libqorid1.${script}
    ${CMAKE_BINARY_DIR}/packaging/libs/${script} COPYONLY)
  list(APPEND CPACK_DEBIAN_LIBS_PACKAGE_CONTROL_EXTRA
    ${CMAKE_BINARY_DIR}/packaging/libs/${script})
endforeach()

set(CPACK_DEBIAN_TOOL_PACKAGE_NAME qorid)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION admin)
set(CPACK_COMPONENT_TOOL_DEPENDS libs)
set(CPACK_DEBIAN_TOOL_DESCRIPTION
  "tell which Morvane board this is and publish its parameters
qorid prints the board number (and name) of the Morvane board it runs on,
lists the board's system parameters (board number and name, the properties
of its device-tree node, its WAN interface), or runs a command or script
with every parameter in its environment. Boot scripts call it.

qorid-dump captures what qorid reads on a board into one tarball for bug
reports.")
file(WRITE ${CMAKE_BINARY_DIR}/packaging/tool/conffiles "/etc/qorid.conf\n")
set(CPACK_DEBIAN_TOOL_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/packaging/tool/conffiles)

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libqorid-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DEPENDS libs)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "liblog4cpp5-dev")
set(CPACK_DEBIAN_DEV_DESCRIPTION
  "board identification library for Morvane (development files)
libqorid works out which hardware board a Morvane system runs on and
collects the board's system parameters.

This package holds the headers, the CMake package (find_package(qorid),
target qorid::qorid) and the pkg-config file qorid.pc.")

include(CPack)
