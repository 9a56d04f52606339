# How zttools is installed and consumed: the CMake package (find_package(zttools) gives
# zttools::zttools), the pkg-config file and the Debian package. The install rules of the
# library itself are in the top-level CMakeLists.txt, those of the command in cli/.
include(CMakePackageConfigHelpers)

set(ZT_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/zttools)
install(EXPORT zttoolsTargets
  NAMESPACE zttools::
  DESTINATION ${ZT_CMAKE_PACKAGE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/zttoolsConfig.cmake.in
  ${PROJECT_BINARY_DIR}/zttoolsConfig.cmake
  INSTALL_DESTINATION ${ZT_CMAKE_PACKAGE_DIR})
# The library's interface may change between major versions only (the SONAME follows it).
write_basic_package_version_file(${PROJECT_BINARY_DIR}/zttoolsConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/zttoolsConfig.cmake
              ${PROJECT_BINARY_DIR}/zttoolsConfigVersion.cmake
  DESTINATION ${ZT_CMAKE_PACKAGE_DIR})

# pkg-config reads absolute paths, and the prefix is only known when installing: `cmake --install
# --prefix` and cpack (which installs under /usr) choose it after configuration. So the template
# is filled in twice: now with everything but the prefix, at install time with the prefix. Each
# install writes straight into its own destination, so that installs into several prefixes may
# run at once from one build tree.
set(ZT_PC_PREFIX "@ZT_INSTALL_PREFIX@")
configure_file(${CMAKE_CURRENT_LIST_DIR}/zttools.pc.in ${PROJECT_BINARY_DIR}/zttools.pc.in @ONLY)
install(CODE "
  get_filename_component(ZT_INSTALL_PREFIX \"\${CMAKE_INSTALL_PREFIX}\" ABSOLUTE)
  set(zt_pc \"\$ENV{DESTDIR}\${ZT_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/zttools.pc\")
  message(STATUS \"Installing: \${zt_pc}\")
  configure_file(\"${PROJECT_BINARY_DIR}/zttools.pc.in\" \"\${zt_pc}\" @ONLY)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${zt_pc}\")
")

# `cpack -G DEB` in the build folder: one package with the library, its headers, both consumer
# files and the command with its manual page and bash completion. dpkg-shlibdeps works out the run-time dependencies (libxml2, the C++
# run time) from what the binaries really link.
# The project's own name and address; a distributor building its own package sets its own.
set(ZT_PACKAGE_MAINTAINER "zttools project <zttools@example.org>"
  CACHE STRING "Maintainer field of the Debian package")
set(CPACK_PACKAGE_NAME zttools)
set(CPACK_PACKAGE_VENDOR zttools)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
  "Token parsers for imprinter templates, a log-folder retention manager, a preset (INI) \
manager, a tag-store dictionary and XML parser, writer and XPath objects, loaded by scanner \
drivers through 16 exported factory functions. Includes the zttools command, the header, a \
CMake package and a pkg-config file.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZT_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_GENERATOR DEB)
include(CPack)
