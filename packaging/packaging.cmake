# The Debian package: the programs, the desktop entry, the icon in the
# hicolor theme, manual pages made from each program's --help, and the
# package's documents (README.Debian says how the first run finds the
# virtual devices; README.md is the whole guide). The programs are built
# with Debian's hardening flags (hardening.cmake). `cpack -G DEB` in the
# build folder writes zv-multiview_<version>_<arch>.deb; its dependencies
# come from the shared libraries the programs link (dpkg-shlibdeps), the CJK
# font the labels need and libpcap (the frame monitor's pcap export). When
# the service is built, zvd comes too, with its systemd unit (installed
# disabled), its manual page and the API's guide (docs/api.md).
include(GNUInstallDirs)

find_program(ZV_HELP2MAN help2man REQUIRED)
find_program(ZV_GZIP gzip REQUIRED)
set(zv_pkg_dir ${CMAKE_CURRENT_BINARY_DIR}/packaging)
set(zv_man_pages)
set(zv_man_programs
    "zv_multiview|control panel for broadcast video devices"
    "zv_device_sim|virtual broadcast video devices for zv_multiview"
    "zvctl|control broadcast video devices from scripts")
if(TARGET zvd)
  list(APPEND zv_man_programs "zvd|remote control of broadcast video devices over HTTP, WebSocket and OSC")
endif()
foreach(program_and_name ${zv_man_programs})
  string(REPLACE "|" ";" parts "${program_and_name}")
  list(GET parts 0 program)
  list(GET parts 1 name)
  set(page ${zv_pkg_dir}/${program}.1)
  # A program's page may take sections --help does not say (packaging/PROGRAM.h2m).
  set(include_args)
  set(include_file ${CMAKE_CURRENT_SOURCE_DIR}/packaging/${program}.h2m)
  if(EXISTS ${include_file})
    set(include_args --include=${include_file})
  else()
    set(include_file)
  endif()
  # The programs read their command line before they need a display, so
  # help2man runs them as they are.
  add_custom_command(
    OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${zv_pkg_dir}
    COMMAND ${ZV_HELP2MAN} --no-info --no-discard-stderr --section=1 "--name=${name}" ${include_args}
            --output=${page} $<TARGET_FILE:${program}>
    COMMAND ${ZV_GZIP} -9nf ${page}
    DEPENDS ${program} ${include_file}
    VERBATIM)
  list(APPEND zv_man_pages ${page}.gz)
endforeach()
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog ${zv_pkg_dir}/changelog @ONLY)
add_custom_command(
  OUTPUT ${zv_pkg_dir}/changelog.gz
  COMMAND ${ZV_GZIP} -9nkf ${zv_pkg_dir}/changelog
  DEPENDS ${zv_pkg_dir}/changelog
  VERBATIM)
# The guide, compressed as Debian's documents are.
add_custom_command(
  OUTPUT ${zv_pkg_dir}/README.md.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/README.md ${zv_pkg_dir}/README.md
  COMMAND ${ZV_GZIP} -9nf ${zv_pkg_dir}/README.md
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/README.md
  VERBATIM)
set(zv_docs ${zv_pkg_dir}/changelog.gz ${zv_pkg_dir}/README.md.gz)
if(TARGET zvd)
  # The remote-control API's guide beside it.
  add_custom_command(
    OUTPUT ${zv_pkg_dir}/api.md.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/docs/api.md ${zv_pkg_dir}/api.md
    COMMAND ${ZV_GZIP} -9nf ${zv_pkg_dir}/api.md
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/docs/api.md
    VERBATIM)
  list(APPEND zv_docs ${zv_pkg_dir}/api.md.gz)
endif()
add_custom_target(zv_package_files ALL DEPENDS ${zv_man_pages} ${zv_docs})

install(TARGETS zv_multiview zv_device_sim zvctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${zv_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES packaging/zv-multiview.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/zv-multiview.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 128)
  install(FILES packaging/zv-multiview-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME zv-multiview.png)
endforeach()
install(FILES packaging/copyright packaging/README.Debian ${zv_docs}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zv-multiview)
if(TARGET zvd)
  install(TARGETS zvd RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Installed, not enabled: the package has no maintainer script that
  # enables or starts it.
  install(FILES packaging/zvd.service DESTINATION lib/systemd/system)
  install(FILES packaging/zv-multiview.lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
          RENAME zv-multiview)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zv-multiview)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control panel for broadcast video devices")
set(CPACK_PACKAGE_DESCRIPTION
    "zv_multiview finds multiviewers, matrix routers, four-channel switchers and
production switchers on the network (UDP port 7000) or on a serial line,
and opens the control panel of the chosen device.
zv_device_sim runs virtual devices of all four families for trying the
panel without hardware; zvctl sends the same commands from scripts.")
if(TARGET zvd)
  string(APPEND CPACK_PACKAGE_DESCRIPTION "
zvd offers the devices to other programs (HTTP, WebSocket and OSC, with
tokens and roles); its systemd unit is installed disabled.")
endif()
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The zv_multiview developers <zv-multiview@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libpcap0.8 also comes through the shared-library dependencies; it is named
# here too, since the frame monitor's pcap export cannot work without it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei, libpcap0.8")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
