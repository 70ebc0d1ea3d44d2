# Debian packages through CPack, one package per install component:
#   runtime -> libzelprinter0     the library with its soname, the diagnostic
#                                  library
#   dev     -> libzelprinter-dev  header, unversioned link, pkg-config file,
#                                  CMake package files; needs libzelprinter0
#                                  of the same version
#   zelctl  -> zelctl             the command-line host (with its man page and
#                                  bash completion where the build has them);
#                                  loads libzelprinter0 of the same version
# Library dependencies (Net-SNMP, the C and C++ runtimes) are computed with
# dpkg-shlibdeps. scripts/package.sh builds them from a clean clone:
#   cmake -DCMAKE_INSTALL_PREFIX=/usr ... && cpack -G DEB
# The install prefix must be /usr at configure time, so that the library
# folder is Debian's multiarch one (GNUInstallDirs) and the pkg-config and
# CMake package files point there.

set(ZEL_PACKAGE_MAINTAINER "zelprinter maintainers <maintainers@zelprinter.example.org>"
  CACHE STRING "Maintainer field of the Debian packages")
set(ZEL_PACKAGE_HOMEPAGE "https://zelprinter.example.org/"
  CACHE STRING "Homepage field of the Debian packages")

set(CPACK_PACKAGE_NAME zelprinter)
set(CPACK_PACKAGE_VENDOR "zelprinter maintainers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${ZEL_PACKAGE_MAINTAINER}")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL runtime dev zelctl)
set(CPACK_DEB_COMPONENT_INSTALL ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZEL_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${ZEL_PACKAGE_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SOURCE zelprinter)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libzelprinter0)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# A shlibs file, so that programs built against the library depend on this
# version or a later one, and the trigger that refreshes the loader's cache.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/debian/triggers)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
"printer device plug-in over SNMP - shared library
libzelprinter is a plug-in that a printer-management host loads into its own
process. Through a flat C interface it discovers one family of network
printers by SNMP broadcast or multicast, opens a device and reads its
storage, devices, printer status, trays, toner, alerts and jobs; it can also
cancel a job. SNMPv1 and SNMPv2c are spoken by the library's own stack,
SNMPv3 through Net-SNMP.

This package holds the shared library and its diagnostic build, which can
write the library's log lines to standard error.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libzelprinter-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
set(CPACK_DEBIAN_DEV_DESCRIPTION
"printer device plug-in over SNMP - development files
libzelprinter is a plug-in that a printer-management host loads into its own
process to discover and read network printers over SNMP.

This package holds what a host needs to build against the library: the C
header, the unversioned link, a pkg-config file (zelprinter) and a CMake
package (find_package(zelprinter), target zelprinter::zelprinter).")

set(CPACK_DEBIAN_ZELCTL_PACKAGE_NAME zelctl)
set(CPACK_DEBIAN_ZELCTL_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_ZELCTL_DEPENDS runtime)
set(CPACK_DEBIAN_ZELCTL_DESCRIPTION
"command-line host of the zelprinter printer plug-in
zelctl loads the zelprinter plug-in the way a printer-management host does
and drives its exported interface: it discovers printers on the network,
shows a device's status, trays, supplies, alerts and jobs, and cancels a
job, with text or JSON output.")

# Every package carries its copyright file and the changelog, gzipped the
# way Debian does (gzip -9n: no name, no time stamp, so builds repeat).
set(zel_deb_docs ${PROJECT_BINARY_DIR}/debian-docs)
file(MAKE_DIRECTORY ${zel_deb_docs})
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${zel_deb_docs}/changelog @ONLY)
execute_process(COMMAND gzip -9n -c ${zel_deb_docs}/changelog
  OUTPUT_FILE ${zel_deb_docs}/changelog.gz RESULT_VARIABLE zel_gzip_rc)
if(NOT zel_gzip_rc EQUAL 0)
  message(FATAL_ERROR "gzip of the Debian changelog failed")
endif()
foreach(zel_component runtime dev zelctl)
  string(TOUPPER ${zel_component} zel_upper)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${zel_deb_docs}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_DEBIAN_${zel_upper}_PACKAGE_NAME}
    COMPONENT ${zel_component})
endforeach()

include(CPack)
