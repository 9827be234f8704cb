# The Debian package of the whole system (cpack -G DEB, see scripts/package): the programs and
# stand-ins in /usr/lib/quillet/bin, the shared objects in /usr/lib/quillet/lib, the device
# package in /usr/lib/quillet/package, the user's commands linked into /usr/bin, the launchers,
# the manual page and the demo script.
include(GNUInstallDirs)
set(qdir lib/quillet)
foreach(program quillet-cli Quillet QuilletShell quillet-desk-options quillet-quote-sim
    quillet-syncmgr quillet-regsvr quillet-appmgr quillet-pkg QuilletInstall)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${qdir}/bin)
  endif()
endforeach()
foreach(library QuilletDesk QuilletDeskUi QuilletUnreg QuilletToday QuilletPPC QuilletSetup)
  if(TARGET ${library})
    install(TARGETS ${library} LIBRARY DESTINATION ${qdir}/lib)
  endif()
endforeach()
# Links made at install time, relative so that they hold wherever the tree is unpacked.
function(quillet_install_link target link)
  get_filename_component(folder ${link} DIRECTORY)
  install(CODE "file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${folder}\")
    file(CREATE_LINK \"${target}\" \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${link}\" SYMBOLIC)")
endfunction()
quillet_install_link(../lib/quillet/bin/quillet-cli bin/quillet-cli)
if(TARGET Quillet)
  quillet_install_link(../lib/quillet/bin/Quillet bin/quillet)
  quillet_install_link(../bin/Quillet ${qdir}/package/Quillet.exe)
endif()
if(TARGET quillet-desk-options)
  quillet_install_link(../lib/quillet/bin/quillet-desk-options bin/quillet-desk-options)
endif()
foreach(library QuilletToday QuilletPPC QuilletSetup)
  quillet_install_link(../lib/${library}.so ${qdir}/package/${library}.dll)
endforeach()
install(PROGRAMS ${PROJECT_SOURCE_DIR}/scripts/install-demo DESTINATION ${qdir}/scripts)
install(FILES ${PROJECT_SOURCE_DIR}/scripts/demo-quotes.csv DESTINATION ${qdir}/scripts)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/quillet.desktop ${CMAKE_CURRENT_LIST_DIR}/quillet-desk-options.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillet)
# Debian wants the manual page and the changelog compressed, without a time stamp.
foreach(pair "quillet-cli.1|${CMAKE_INSTALL_MANDIR}/man1" "changelog|${CMAKE_INSTALL_DATADIR}/doc/quillet")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 name)
  list(GET pair 1 destination)
  set(out ${CMAKE_BINARY_DIR}/packaging/${name}.gz)
  if(name STREQUAL "changelog")
    set(out ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz)
  endif()
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND gzip -9n -c ${CMAKE_CURRENT_LIST_DIR}/${name} > ${out}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/${name})
  list(APPEND packaging_outputs ${out})
  install(FILES ${out} DESTINATION ${destination})
endforeach()
add_custom_target(quillet_packaging_files ALL DEPENDS ${packaging_outputs})

set(CPACK_PACKAGE_NAME quillet)
set(CPACK_PACKAGE_VENDOR "Quillet developers")
set(CPACK_PACKAGE_CONTACT "Quillet maintainers <maintainers@quillet.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "personal stock-portfolio manager with desktop companion")
set(CPACK_PACKAGE_DESCRIPTION "Quillet keeps portfolios of stock lots, shows profit and the day's
change, keeps notes, price alerts and price history, and updates quotes.
This package holds the handheld program, its desktop companion, the device
libraries, the installer and uninstall hook, and the programs that stand in
for the hosts they run in.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
