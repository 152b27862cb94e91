# Brimlode as a desktop program: the window icon, what `cmake --install` puts
# under the prefix (programs, desktop entry, icons, manual pages), the Debian
# package that CPack builds from that, and the test of that package.
# Included from the top CMakeLists.txt once the targets exist.

include(GNUInstallDirs)

set(BRIMLODE_ICON_SIZES 16 22 24 32 48 64 128 256)
set(BRIMLODE_DATA ${CMAKE_CURRENT_LIST_DIR}/../data)

if(BRIMLODE_GUI)
  # The window icon is the same drawing the desktop shows.
  set(icon_files "")
  foreach(size IN LISTS BRIMLODE_ICON_SIZES)
    list(APPEND icon_files ${BRIMLODE_DATA}/icons/hicolor/${size}x${size}/apps/brimlode.png)
  endforeach()
  qt_add_resources(brimlode_qt brimlode_icons PREFIX / BASE ${BRIMLODE_DATA} FILES ${icon_files})
endif()

install(TARGETS brimlode-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The content filter for Postfix's pipe transport (docs/mail-gateway.md).
install(PROGRAMS ${BRIMLODE_DATA}/mail/brimlode-mail-filter DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/brimlode)
# What `brimlode-cli mail` runs (found as ../libexec/brimlode/ from the program).
install(TARGETS brimlode-mail RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/brimlode)

# Manual pages, gzipped as Debian keeps them (-n: the same bytes every build).
set(man_built "")
foreach(page brimlode brimlode-cli)
  foreach(lang en ja)
    if(lang STREQUAL "en")
      set(src ${BRIMLODE_DATA}/man/${page}.1)
      set(dir ${CMAKE_INSTALL_MANDIR}/man1)
    else()
      set(src ${BRIMLODE_DATA}/man/${lang}/${page}.1)
      set(dir ${CMAKE_INSTALL_MANDIR}/${lang}/man1)
    endif()
    if(page STREQUAL "brimlode" AND NOT BRIMLODE_GUI)
      continue()
    endif()
    set(out ${CMAKE_CURRENT_BINARY_DIR}/man/${lang}/${page}.1.gz)
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man/${lang}
      COMMAND sh -c "gzip -9n -c '${src}' > '${out}'"
      DEPENDS ${src} VERBATIM)
    list(APPEND man_built ${out})
    install(FILES ${out} DESTINATION ${dir})
  endforeach()
endforeach()
add_custom_target(brimlode_man ALL DEPENDS ${man_built})

# What Debian asks of every package's documentation folder: the licence in
# its machine-readable form and a gzipped changelog (a native package's name).
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/brimlode)
set(changelog_gz ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${changelog_gz}
  COMMAND sh -c "gzip -9n -c '${BRIMLODE_DATA}/debian/changelog' > '${changelog_gz}'"
  DEPENDS ${BRIMLODE_DATA}/debian/changelog VERBATIM)
add_custom_target(brimlode_changelog ALL DEPENDS ${changelog_gz})
install(FILES ${BRIMLODE_DATA}/debian/copyright ${changelog_gz} ${CMAKE_CURRENT_LIST_DIR}/../docs/mail-gateway.md
        DESTINATION ${doc_dir})

if(BRIMLODE_GUI)
  install(TARGETS brimlode RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${BRIMLODE_DATA}/brimlode.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${BRIMLODE_DATA}/icons/hicolor/scalable/apps/brimlode.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(size IN LISTS BRIMLODE_ICON_SIZES)
    install(FILES ${BRIMLODE_DATA}/icons/hicolor/${size}x${size}/apps/brimlode.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
endif()

# The Debian package: `cpack --config CPackConfig.cmake` (scripts/package.sh).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brimlode)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Brimlode developers <brimlode@example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://brimlode.example.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ZIP and LZH archive entries at header level")
set(CPACK_PACKAGE_DESCRIPTION
  "Brimlode lists the entries of ZIP and LZH archives from their headers,\n"
  "neutralises ticked entries inside the archive (zeroed data, stored method,\n"
  "fixed CRCs, the extension's last byte turned into $), and copies entries\n"
  "byte for byte into new archives. Names are CP932 and kept as raw bytes.\n"
  "brimlode is the Japanese window, and brimlode-cli runs the same commands\n"
  "for scripts and servers.")
# (The lines above are a list: join them without the separator.)
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(BRIMLODE_GUI)
  # Beyond the libraries: the Japanese font the window falls back to, and
  # the Japanese texts of Qt's own dialogs.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic | fonts-noto-cjk, qt6-translations-l10n")
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
endif()
include(CPack)

if(BRIMLODE_TESTS)
  add_test(NAME debian_package
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/../tests/package_test.sh ${CMAKE_BINARY_DIR}
                   $<IF:$<BOOL:${BRIMLODE_GUI}>,ON,OFF>)
  set_tests_properties(debian_package PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
endif()
