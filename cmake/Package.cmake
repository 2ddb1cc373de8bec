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

# The Python module zlt900 (ctypes over the library), installed where the
# Python of this machine looks for modules under the install prefix. It
# finds the library through a path relative to itself, so the prefix can move.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND)
  execute_process(COMMAND ${Python3_EXECUTABLE} -c
    "import sys, sysconfig\nlocal = [p for p in sys.path if p.startswith('/usr/local/') and p.endswith('dist-packages')]\nprint(local[0][len('/usr/local/'):] if local else sysconfig.get_path('purelib', 'posix_prefix', vars={'base': '', 'platbase': ''}).lstrip('/'))"
    OUTPUT_VARIABLE ZLT_PYTHON_DEFAULT_DIR OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(ZLT_PYTHON_DIR "${ZLT_PYTHON_DEFAULT_DIR}" CACHE STRING
      "Folder under the install prefix that takes the Python module zlt900")
  file(RELATIVE_PATH ZLT_PYTHON_TO_LIBRARY "/root/${ZLT_PYTHON_DIR}/zlt900"
       "/root/${CMAKE_INSTALL_LIBDIR}/libZlt900_Lnk.so.0")
  file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/python/_paths.py CONTENT
       "# Written by the install: where the linker library is, from this folder.\nLIBRARY_RELATIVE_PATH = \"${ZLT_PYTHON_TO_LIBRARY}\"\n")
  install(FILES tools/python/zlt900/__init__.py ${PROJECT_BINARY_DIR}/python/_paths.py
          DESTINATION ${ZLT_PYTHON_DIR}/zlt900)
endif()
