# Installs the CMake package configuration of libtessavo (lib/cmake/tessavo), so that another host
# can find_package(tessavo) and link tessavo::tessavo. Included from framework/CMakeLists.txt.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(tessavo_package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/tessavo)

# The headers use C++20; consumers must compile with it too.
target_compile_features(tessavo PUBLIC cxx_std_20)

install(EXPORT tessavoTargets NAMESPACE tessavo:: DESTINATION ${tessavo_package_dir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/tessavoConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/tessavoConfig.cmake
    INSTALL_DESTINATION ${tessavo_package_dir}
    PATH_VARS CMAKE_INSTALL_INCLUDEDIR CMAKE_INSTALL_LIBDIR)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/tessavoConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tessavoConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/tessavoConfigVersion.cmake
    DESTINATION ${tessavo_package_dir})
