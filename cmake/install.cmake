# What `cmake --install` puts where: selvane2x with its header, a pkg-config
# file and a CMake package (find_package(selvane2x) gives
# selvane2x::selvane2x), and Tarnwick.  Every installed
# path is relative to the prefix, so the package works in whatever prefix
# it is installed into.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS selvane2x EXPORT selvane2xTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  FILE_SET HEADERS DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(TARGET tarnwick)
  install(TARGETS tarnwick RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

set(SELVANE2X_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/selvane2x)
install(EXPORT selvane2xTargets NAMESPACE selvane2x:: DESTINATION ${SELVANE2X_PACKAGE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/selvane2xConfig.cmake.in
  ${PROJECT_BINARY_DIR}/selvane2xConfig.cmake INSTALL_DESTINATION ${SELVANE2X_PACKAGE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/selvane2xConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/selvane2xConfig.cmake
              ${PROJECT_BINARY_DIR}/selvane2xConfigVersion.cmake
        DESTINATION ${SELVANE2X_PACKAGE_DIR})

# pkg-config finds the prefix from where the .pc file lies; absolute
# directories given at configure time are written as they are.
set(SELVANE2X_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(SELVANE2X_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  set(SELVANE2X_PC_LIBDIR "${CMAKE_INSTALL_FULL_LIBDIR}")
  set(SELVANE2X_PC_INCLUDEDIR "${CMAKE_INSTALL_FULL_INCLUDEDIR}")
else()
  file(RELATIVE_PATH SELVANE2X_PC_UP "/${SELVANE2X_PC_DIR}" "/")
  string(REGEX REPLACE "/$" "" SELVANE2X_PC_UP "${SELVANE2X_PC_UP}")
  set(SELVANE2X_PC_PREFIX "\${pcfiledir}/${SELVANE2X_PC_UP}")
  set(SELVANE2X_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
  set(SELVANE2X_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/selvane2x.pc.in ${PROJECT_BINARY_DIR}/selvane2x.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/selvane2x.pc DESTINATION ${SELVANE2X_PC_DIR})
