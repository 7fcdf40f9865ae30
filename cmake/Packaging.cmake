# The CMake package module authors build against, the files the installed programs read, and
# the Debian package (docs/install.md).
include(CMakePackageConfigHelpers)

# ---- find_package(QdForms CONFIG) ---------------------------------------------------------------
set(QD_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/QdForms)
install(EXPORT QdFormsTargets NAMESPACE QdForms:: DESTINATION ${QD_INSTALL_CMAKEDIR}
    COMPONENT devel)
configure_package_config_file(${PROJECT_SOURCE_DIR}/packaging/QdFormsConfig.cmake.in
    ${PROJECT_BINARY_DIR}/QdFormsConfig.cmake INSTALL_DESTINATION ${QD_INSTALL_CMAKEDIR})
# The same minor version, as the library's soname: 0.1 and 0.2 need not be compatible.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/QdFormsConfigVersion.cmake
    COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/QdFormsConfig.cmake ${PROJECT_BINARY_DIR}/QdFormsConfigVersion.cmake
    DESTINATION ${QD_INSTALL_CMAKEDIR} COMPONENT devel)

# ---- the demo and the documents -------------------------------------------------------------------
install(FILES ${PROJECT_SOURCE_DIR}/demo/seed.sql DESTINATION ${QD_INSTALL_DATADIR}/demo
    COMPONENT runtime)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${QD_INSTALL_DOCDIR} COMPONENT runtime)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${QD_INSTALL_DOCDIR}/docs
    COMPONENT runtime)

# ---- the Debian package (cpack -G DEB, scripts/package.sh) -----------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qdforms)
set(CPACK_PACKAGE_VENDOR "QdForms")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Forms framework for multi-store business clients, its client and the qdsql tool")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "QdForms developers <qdforms@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# The libraries the programs link come from dpkg-shlibdeps (Debian: dpkg-dev); what they load
# at run time is named here: Qt's platform plug-ins for a desktop, the fonts for the Chinese
# texts and Qt's own texts in Chinese.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, qt6-translations-l10n")
# The embedded database's ODBC driver, for libqdtsql.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libsqliteodbc")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
include(CPack)
