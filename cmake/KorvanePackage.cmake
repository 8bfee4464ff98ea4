# The Debian package, made by CPack from the install rules: korvane_<version>_amd64.deb.
#   cpack --config build/CPackConfig.cmake -B OUT_DIR     (scripts/package does this)
# The version is the project's (the project() line), and so is the file name.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# A stripped install (CPack's, or cmake --install --strip) also leaves out of the programs what
# Debian's packages leave out: the .comment section, where every compiler and library object
# put its name and version.
include(GNUInstallDirs)
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(program korvane korvane-cli korvane-server)
      set(file \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\")
      execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment \"\${file}\"
                      RESULT_VARIABLE status)
      if(NOT status EQUAL 0)
        message(FATAL_ERROR \"objcopy --remove-section=.comment \${file} failed\")
      endif()
    endforeach()
  endif()")
set(CPACK_PACKAGE_CONTACT "Korvane developers <support@korvane.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "count a domain's backlinks as the Baidu search engine lists them")
# The long description, line by line (as dpkg shows it, under 80 columns).
set(CPACK_PACKAGE_DESCRIPTION [[
Korvane measures the backlinks of a web domain as the Baidu search engine
sees them. Type a domain and press Analyse: Korvane walks the engine's
results for the query domain:DOMAIN, groups the entries by linking site and
writes a fixed-width report: the engine's total, the number of linking
sites, and for each site its number of entries, the latest date seen and the
address that carried it.

The window (korvane) speaks Simplified Chinese. korvane-cli runs the same
analysis without it and prints the report. korvane-server shows the recorded
history to a team in the browser, with users, a schedule and a JSON API.]])

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # korvane_<version>_<architecture>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
# The libraries' packages come from dpkg-shlibdeps; the font that lines the report's columns
# up, Qt's Chinese texts and the SQLite driver of korvane-cli's history store (a plugin that
# Qt loads) are needed at run time only, so they are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk, qt6-translations-l10n, libqt6sql6-sqlite")
# The PostgreSQL driver only for a store on a server (korvane-cli --store postgresql://...).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-psql")

include(CPack)
