# The installation, laid out as a Debian package lays it out: the program
# and its configuration link under lib/tolvane, the configuration itself in
# /etc/tolvane, the CUPS filter, MIME files and queue PPD where CUPS reads
# them, manual pages, and the sample report. cpack -G DEB packs the same.
include(GNUInstallDirs)

set(TOLVANE_LIB_DIR "lib/tolvane")
set(TOLVANE_DOC_DIR "${CMAKE_INSTALL_DATADIR}/doc/tolvane")
set(TOLVANE_PPD_DIR "${CMAKE_INSTALL_DATADIR}/ppd/tolvane")
set(TOLVANE_PACKAGING "${PROJECT_SOURCE_DIR}/packaging")
set(TOLVANE_STAGED "${PROJECT_BINARY_DIR}/packaging")

install(TARGETS tolvane RUNTIME DESTINATION ${TOLVANE_LIB_DIR})

# Links are made in the build tree and installed as they are: relative inside
# /usr, absolute across to /etc.
function(tolvane_link name target)
  file(MAKE_DIRECTORY "${TOLVANE_STAGED}/links")
  file(CREATE_LINK "${target}" "${TOLVANE_STAGED}/links/${name}" SYMBOLIC)
endfunction()
tolvane_link(bin-tolvane "../${TOLVANE_LIB_DIR}/tolvane")
tolvane_link(tolvanetopdf "../../tolvane/tolvane")
install(FILES "${TOLVANE_STAGED}/links/bin-tolvane" DESTINATION ${CMAKE_INSTALL_BINDIR}
        RENAME tolvane)
install(FILES "${TOLVANE_STAGED}/links/tolvanetopdf" DESTINATION lib/cups/filter)

# The configuration's directory follows the prefix given to cmake --install:
# /etc/tolvane for /usr (the package), PREFIX/etc/tolvane for any other.
install(CODE "set(TOLVANE_STAGED \"${TOLVANE_STAGED}\")
              set(TOLVANE_SOURCES \"${PROJECT_SOURCE_DIR}/examples/tolvane.ini;${TOLVANE_PACKAGING}/system.ini\")")
install(CODE [[
  if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(etc "/etc/tolvane")
  else()
    set(etc "${CMAKE_INSTALL_PREFIX}/etc/tolvane")
  endif()
  file(INSTALL ${TOLVANE_SOURCES} DESTINATION "${etc}")
  file(MAKE_DIRECTORY "${TOLVANE_STAGED}/links")
  file(CREATE_LINK "${etc}/tolvane.ini" "${TOLVANE_STAGED}/links/tolvane.ini" SYMBOLIC)
  file(INSTALL "${TOLVANE_STAGED}/links/tolvane.ini"
       DESTINATION "${CMAKE_INSTALL_PREFIX}/lib/tolvane")
]])

install(FILES "${TOLVANE_PACKAGING}/tolvane.types" "${TOLVANE_PACKAGING}/tolvane.convs"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/cups/mime)
configure_file("${TOLVANE_PACKAGING}/tolvane.ppd" "${TOLVANE_STAGED}/tolvane.ppd" @ONLY)
install(FILES "${TOLVANE_STAGED}/tolvane.ppd" DESTINATION ${TOLVANE_PPD_DIR})
install(PROGRAMS "${TOLVANE_PACKAGING}/tolvane-setup-queue" DESTINATION ${CMAKE_INSTALL_SBINDIR})

# Manual pages and the changelog are compressed as Debian wants them: gzip
# -9 without a name or time stamp, so that two builds give the same bytes.
find_program(TOLVANE_GZIP gzip REQUIRED)
set(TOLVANE_COMPRESSED)
function(tolvane_compress source name)
  set(output "${TOLVANE_STAGED}/${name}.gz")
  add_custom_command(OUTPUT "${output}"
                     COMMAND ${TOLVANE_GZIP} -9n -c "${source}" > "${output}"
                     DEPENDS "${source}" VERBATIM)
  set(TOLVANE_COMPRESSED ${TOLVANE_COMPRESSED} "${output}" PARENT_SCOPE)
endfunction()
configure_file("${TOLVANE_PACKAGING}/changelog.in" "${TOLVANE_STAGED}/changelog" @ONLY)
tolvane_compress("${TOLVANE_STAGED}/changelog" changelog)
foreach(page tolvane.1 tolvane.ini.5 tolvane-setup-queue.8)
  tolvane_compress("${TOLVANE_PACKAGING}/${page}" ${page})
  string(REGEX MATCH "[0-9]$" section "${page}")
  install(FILES "${TOLVANE_STAGED}/${page}.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endforeach()
add_custom_target(tolvane_compressed ALL DEPENDS ${TOLVANE_COMPRESSED})

install(FILES examples/sample-report.txt examples/logo.bmp "${TOLVANE_PACKAGING}/copyright"
              "${TOLVANE_STAGED}/changelog.gz"
        DESTINATION ${TOLVANE_DOC_DIR})

# The package: its shared-library dependencies come from dpkg-shlibdeps, and
# the files in /etc are conffiles that an upgrade keeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER
    "Tolvane maintainers <maintainers@users.noreply.c-seed-42187768.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "print the reports of character-printer applications")
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
       "Tolvane prints the print files that host applications write for\n"
       "character printers: lines of bytes, form feeds between pages and escape\n"
       "sequences for the printer's modes, configured in /etc/tolvane/tolvane.ini.\n"
       "Every byte is drawn as one glyph in a fixed-pitch grid on a CUPS queue or\n"
       "into PDF, PostScript, SVG or PNG files.\n"
       ".\n"
       "A CUPS filter (tolvanetopdf) and tolvane-setup-queue make a print server\n"
       "whose queues print every job with Tolvane, for Linux and Windows clients.")
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The libraries the program opens only when a job needs them are invisible
# to dpkg-shlibdeps (they are not linked); they are named here, and the
# scanned dependencies are added to them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libcups2 (>= 2.2), libcairo2 (>= 1.16), libfontconfig1 (>= 2.13), libfreetype6 (>= 2.10), libdeflate0 (>= 1.10), libstb0")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "cups, cups-client, zenity")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tolvane.example/")
file(WRITE "${TOLVANE_STAGED}/control/conffiles"
     "/etc/tolvane/tolvane.ini\n/etc/tolvane/system.ini\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${TOLVANE_STAGED}/control/conffiles")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
