# The CMake package of the installed SDK and interface, and the .deb.
include(CMakePackageConfigHelpers)

set(QZCAM_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/qzcam)
install(EXPORT qzcamTargets NAMESPACE qzcam:: DESTINATION ${QZCAM_CMAKEDIR})
configure_package_config_file(cmake/qzcamConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/qzcamConfig.cmake
  INSTALL_DESTINATION ${QZCAM_CMAKEDIR}
  PATH_VARS QZCAM_INSTALL_PLUGINDIR)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/qzcamConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/qzcamConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/qzcamConfigVersion.cmake DESTINATION ${QZCAM_CMAKEDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qzcam)
set(CPACK_PACKAGE_CONTACT "qzcam developers <qzcam@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Camera plug-in qzCam_160d with its camera SDK and tools")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
