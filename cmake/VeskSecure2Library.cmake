# The shared library a host application links: the engine, the component, its dialogs and the
# setup editor, with only the exported classes visible.
add_library(VeskSecure2 SHARED ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
add_library(VeskSecure2::VeskSecure2 ALIAS VeskSecure2)
set_target_properties(VeskSecure2 PROPERTIES
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR}
  EXPORT_NAME VeskSecure2)
# The same objects the desktop links statically; only the exported classes are visible.
target_sources(VeskSecure2 PRIVATE
  $<TARGET_OBJECTS:vesk_security> $<TARGET_OBJECTS:vesk_setup>
  $<TARGET_OBJECTS:vesk_rules>
  $<TARGET_OBJECTS:vesk_ui> $<TARGET_OBJECTS:vesk_intl>
  $<TARGET_OBJECTS:vesk_dbe> $<TARGET_OBJECTS:vesk_dbecore>
  $<TARGET_OBJECTS:vesk_dbe_sqlcipher> $<TARGET_OBJECTS:vesk_dbe_postgres>)
target_link_libraries(VeskSecure2
  PRIVATE PkgConfig::SQLCIPHER OpenSSL::Crypto PkgConfig::LIBPQ
  PUBLIC Qt6::Core Qt6::Gui Qt6::Widgets)
target_link_options(VeskSecure2 PRIVATE "LINKER:--exclude-libs,ALL" "LINKER:--no-undefined"
  "LINKER:--version-script=${PROJECT_SOURCE_DIR}/cmake/VeskSecure2.map")
set_property(TARGET VeskSecure2 APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/VeskSecure2.map)
target_include_directories(VeskSecure2 INTERFACE
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

# Components, one per Debian package (cmake/VeskPackaging.cmake): the library for every host,
# the files to build a host with, and the administrator's programs.
install(TARGETS VeskSecure2 EXPORT VeskSecure2Targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library NAMELINK_COMPONENT dev
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES
  ${PROJECT_SOURCE_DIR}/security/vesksec2.h
  ${PROJECT_SOURCE_DIR}/security/vesksecure2_export.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/VeskSecure2 COMPONENT dev)

# pkg-config for hosts built without CMake.
file(RELATIVE_PATH VESK_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" VESK_PC_TO_PREFIX "${VESK_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/VeskSecure2.pc.in ${PROJECT_BINARY_DIR}/VeskSecure2.pc
  @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/VeskSecure2.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

include(CMakePackageConfigHelpers)
set(VESK_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/VeskSecure2)
install(EXPORT VeskSecure2Targets NAMESPACE VeskSecure2:: DESTINATION ${VESK_CMAKE_DIR}
  COMPONENT dev)
# vesksec comes with the administrator's programs; the package finds it when they are installed.
install(EXPORT VeskSecure2Tools NAMESPACE VeskSecure2:: DESTINATION ${VESK_CMAKE_DIR}
  COMPONENT admin)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VeskSecure2Config.cmake.in
  ${PROJECT_BINARY_DIR}/VeskSecure2Config.cmake INSTALL_DESTINATION ${VESK_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VeskSecure2ConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VeskSecure2Config.cmake
              ${PROJECT_BINARY_DIR}/VeskSecure2ConfigVersion.cmake
        DESTINATION ${VESK_CMAKE_DIR} COMPONENT dev)
