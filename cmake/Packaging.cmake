# What `cmake --install` adds beside the program and the template data: the libraries, their
# public headers (include/quorva_host, include/voltra) and a CMake package, so that another
# project writes find_package(VoltraTools) and links VoltraTools::voltra.
include(CMakePackageConfigHelpers)

set(VOLTRA_INSTALL_CMAKE_DIR lib/cmake/VoltraTools)
set(VOLTRA_INSTALL_TEMPLATE_DIR share/voltra/templates)
# The commands read templates from <root>/../share/voltra/templates; bin/ is that root.
set(VOLTRA_INSTALL_PERSISTENCE_ROOT bin)

install(TARGETS quorva_host EXPORT VoltraToolsTargets
  LIBRARY DESTINATION lib
  FILE_SET HEADERS DESTINATION include/quorva_host)
install(TARGETS voltra EXPORT VoltraToolsTargets
  LIBRARY DESTINATION lib
  FILE_SET HEADERS DESTINATION include/voltra)
install(EXPORT VoltraToolsTargets NAMESPACE VoltraTools:: DESTINATION ${VOLTRA_INSTALL_CMAKE_DIR})

configure_package_config_file(cmake/VoltraToolsConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/VoltraToolsConfig.cmake
  INSTALL_DESTINATION ${VOLTRA_INSTALL_CMAKE_DIR}
  PATH_VARS VOLTRA_INSTALL_TEMPLATE_DIR VOLTRA_INSTALL_PERSISTENCE_ROOT)
# 0.x: a minor version may change the API.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/VoltraToolsConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/VoltraToolsConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/VoltraToolsConfigVersion.cmake
        DESTINATION ${VOLTRA_INSTALL_CMAKE_DIR})
