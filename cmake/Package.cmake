# The installed library as other projects use it: a CMake config package
# (find_package(zlt900 CONFIG) gives zlt900::Zlt900_Lnk) and a pkg-config
# file (zlt900.pc).
include(CMakePackageConfigHelpers)

set(ZLT_CMAKE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/zlt900)
install(EXPORT zlt900Targets NAMESPACE zlt900:: DESTINATION ${ZLT_CMAKE_INSTALL_DIR})
configure_package_config_file(cmake/zlt900Config.cmake.in
  ${PROJECT_BINARY_DIR}/zlt900Config.cmake INSTALL_DESTINATION ${ZLT_CMAKE_INSTALL_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/zlt900ConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/zlt900Config.cmake
              ${PROJECT_BINARY_DIR}/zlt900ConfigVersion.cmake
        DESTINATION ${ZLT_CMAKE_INSTALL_DIR})

# pkg-config paths relative to the .pc file, so that the prefix given to
# `cmake --install --prefix` (or a moved prefix) still works.
file(RELATIVE_PATH ZLT_PC_TO_PREFIX "/root/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/root")
configure_file(cmake/zlt900.pc.in ${PROJECT_BINARY_DIR}/zlt900.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zlt900.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
