# Installs Ovkit for other projects: the shared library with its version
# links, the public headers and the export header under include/ovkit, a CMake
# package (find_package(Ovkit) gives Ovkit::Ovkit and finds Qt) and a
# pkg-config file (ovkit.pc). Every path inside the installed files is relative
# to where they lie, so the tree may be installed under any prefix
# (cmake --install --prefix, DESTDIR, a Debian package).
include(CMakePackageConfigHelpers)

set(OVKIT_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Ovkit)
set(OVKIT_INSTALL_PKGCONFIGDIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
# Consumers need the Qt release that the library was built against, or newer.
set(OVKIT_QT_MIN_VERSION ${Qt6_VERSION_MAJOR}.${Qt6_VERSION_MINOR})

install(TARGETS ovkit EXPORT OvkitTargets)
install(FILES ${OVKIT_PUBLIC_HEADERS} ${CMAKE_CURRENT_BINARY_DIR}/include/ovkit_export.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ovkit)

install(EXPORT OvkitTargets
    NAMESPACE Ovkit::
    DESTINATION ${OVKIT_INSTALL_CMAKEDIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/OvkitConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/OvkitConfig.cmake
    INSTALL_DESTINATION ${OVKIT_INSTALL_CMAKEDIR})
# A 1.x library serves every consumer built for 1.y with y <= x.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/OvkitConfigVersion.cmake
    VERSION ${OVKIT_VERSION}
    COMPATIBILITY SameMajorVersion)
install(FILES
    ${CMAKE_CURRENT_BINARY_DIR}/OvkitConfig.cmake
    ${CMAKE_CURRENT_BINARY_DIR}/OvkitConfigVersion.cmake
    ${CMAKE_CURRENT_LIST_DIR}/OvkitSkins.cmake
    DESTINATION ${OVKIT_INSTALL_CMAKEDIR})

# ovkit.pc finds the prefix from its own folder (${pcfiledir}).
set(_pc_dir ${CMAKE_INSTALL_PREFIX}/${OVKIT_INSTALL_PKGCONFIGDIR})
file(RELATIVE_PATH OVKIT_PC_PREFIX ${_pc_dir} ${CMAKE_INSTALL_PREFIX})
file(RELATIVE_PATH OVKIT_PC_LIBDIR ${CMAKE_INSTALL_PREFIX} ${CMAKE_INSTALL_FULL_LIBDIR})
file(RELATIVE_PATH OVKIT_PC_INCLUDEDIR ${CMAKE_INSTALL_PREFIX} ${CMAKE_INSTALL_FULL_INCLUDEDIR}/ovkit)
configure_file(${CMAKE_CURRENT_LIST_DIR}/ovkit.pc.in ${CMAKE_CURRENT_BINARY_DIR}/ovkit.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ovkit.pc DESTINATION ${OVKIT_INSTALL_PKGCONFIGDIR})
