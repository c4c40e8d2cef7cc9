# What the administrator's programs install beside themselves, and the Debian packages CPack
# makes of the three components (tools/package.sh):
#   library -> libvesksecure2      the shared library and its help book
#   dev     -> libvesksecure-dev   headers, the CMake package and VeskSecure2.pc
#   admin   -> vesksecure-admin    secadmin, vesksec, desktop entry, icon, AppStream metadata,
#                                  manual pages, bash completion
set(VESK_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(VESK_APP_ID local.vesksecure.secadmin)

install(FILES ${VESK_PACKAGING_DIR}/${VESK_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT admin)
install(FILES ${VESK_PACKAGING_DIR}/${VESK_APP_ID}.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT admin)
install(FILES ${VESK_PACKAGING_DIR}/${VESK_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT admin)
install(FILES ${VESK_PACKAGING_DIR}/vesksec.bash-completion
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME vesksec COMPONENT admin)

# Manual pages and the Debian changelog are installed compressed, as Debian wants them, with no
# time stamp in the archive so that two builds give the same bytes.
find_program(VESK_GZIP gzip REQUIRED)
# The packages name who made them as Debian's own tools do: DEBFULLNAME and DEBEMAIL, else the
# checkout's git identity.
if(NOT VESK_PACKAGE_MAINTAINER)
  set(name "$ENV{DEBFULLNAME}")
  set(address "$ENV{DEBEMAIL}")
  find_package(Git QUIET)
  if(NOT name AND GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} config user.name WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
      OUTPUT_VARIABLE name OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  if(NOT address AND GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} config user.email WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
      OUTPUT_VARIABLE address OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  if(name AND address)
    set(VESK_PACKAGE_MAINTAINER "${name} <${address}>")
  else()
    set(VESK_PACKAGE_MAINTAINER "The VeskSecure developers")
    message(STATUS "No DEBFULLNAME/DEBEMAIL nor git identity: the Debian packages name no "
                   "maintainer address, which lintian refuses")
  endif()
endif()
set(VESK_DEBIAN_RELEASE 1)
set(VESK_DEBIAN_VERSION ${PROJECT_VERSION}-${VESK_DEBIAN_RELEASE})
configure_file(${VESK_PACKAGING_DIR}/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog.Debian
  @ONLY)
set(compressed)
foreach(page vesksec.1 secadmin.1)
  list(APPEND compressed ${VESK_PACKAGING_DIR}/${page})
endforeach()
list(APPEND compressed ${PROJECT_BINARY_DIR}/packaging/changelog.Debian)
set(outputs)
foreach(file ${compressed})
  get_filename_component(name ${file} NAME)
  set(output ${PROJECT_BINARY_DIR}/packaging/${name}.gz)
  add_custom_command(OUTPUT ${output}
    COMMAND ${VESK_GZIP} -9nc ${file} > ${output}
    DEPENDS ${file} VERBATIM)
  list(APPEND outputs ${output})
endforeach()
add_custom_target(vesk_packaging_files ALL DEPENDS ${outputs})
install(FILES ${PROJECT_BINARY_DIR}/packaging/vesksec.1.gz ${PROJECT_BINARY_DIR}/packaging/secadmin.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT admin)

set(VESK_DEB_library libvesksecure2)
set(VESK_DEB_dev libvesksecure-dev)
set(VESK_DEB_admin vesksecure-admin)
foreach(component library dev admin)
  install(FILES ${VESK_PACKAGING_DIR}/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${VESK_DEB_${component}} COMPONENT ${component})
endforeach()

# CPack installs what tools/package.sh has built, instead of first building every target
# (the tests among them): installing never builds.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_PACKAGE_NAME vesksecure)
set(CPACK_PACKAGE_VENDOR "The VeskSecure developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL library dev admin)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VESK_DEBIAN_RELEASE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VESK_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME libvesksecure2)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
# A shlibs file and the ldconfig trigger, so that programs linking the library depend on it.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# Debian refreshes the linker cache through dpkg's trigger; CPack's own ldconfig calls in postinst
# and postrm stay (lintian warns of them), as replacing them would leave empty scripts behind.
configure_file(${VESK_PACKAGING_DIR}/libvesksecure2.triggers ${PROJECT_BINARY_DIR}/packaging/triggers
  COPYONLY)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/packaging/triggers)
set(CPACK_DEBIAN_LIBRARY_DESCRIPTION "user security for desktop database applications
The component TVeskSecure puts user security into a desktop database
application built with Qt 6: it logs a user on with a dialog, the network
user name or a name and password from the host, answers whether the user
holds an access constant, keeps an activity log, lets the user change the
password and lets administrators open the setup editor. The security
database lives in SQLCipher files or on a PostgreSQL server.
.
This package holds the shared library and the administrator's help book.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libvesksecure-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libvesksecure2 (= ${VESK_DEBIAN_VERSION}), qt6-base-dev")
# The CMake package offers vesksec as VeskSecure2::vesksec to generate a host's constants.
set(CPACK_DEBIAN_DEV_PACKAGE_RECOMMENDS "vesksecure-admin (= ${VESK_DEBIAN_VERSION})")
set(CPACK_DEBIAN_DEV_DESCRIPTION "user security for desktop database applications - development files
The component TVeskSecure puts user security into a desktop database
application built with Qt 6.
.
This package holds the headers, the CMake package (find_package(VeskSecure2))
and the pkg-config file VeskSecure2.pc to build a host application with.")

set(CPACK_DEBIAN_ADMIN_PACKAGE_NAME vesksecure-admin)
set(CPACK_DEBIAN_ADMIN_PACKAGE_SECTION admin)
# secadmin shows the help book the library package installs.
set(CPACK_DEBIAN_ADMIN_PACKAGE_DEPENDS "libvesksecure2 (= ${VESK_DEBIAN_VERSION})")
set(CPACK_DEBIAN_ADMIN_DESCRIPTION "administration of VeskSecure security databases
secadmin, the Security Administration Desktop, creates and opens security
databases, maintains users, access constants, groups and rights, generates
the source that declares every access constant, imports the previous
version's dBASE files, views the activity log and previews and prints the
security reports. vesksec does the same from the command line for scripts
and builds.")

include(CPack)
