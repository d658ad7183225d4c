# Installation under a prefix, in the freedesktop layout:
#   lib/tamber/            tamber, jar32.exe and jar.cfg side by side, html -> ../../share/tamber/html
#   bin/                   tamber and jar32.exe as links into lib/tamber
#   share/tamber/html/     the help pages
#   share/applications/    tamber.desktop (Exec= the installed bin/tamber)
#   share/mime/packages/   tamber.xml, the type of "*.j"
#   share/icons/hicolor/   scalable/apps/tamber.svg and NxN/apps/tamber.png
#   share/man/man1/        tamber.1.gz, jar32.exe.1.gz
#   share/doc/tamber/      copyright, changelog.gz
# The programs find each other, jar.cfg and the help pages from their own resolved folder, as in
# the build's bin/.
set(TAMBER_PROGRAM_DIR lib/tamber)
set(TAMBER_STAGE_DIR ${CMAKE_BINARY_DIR}/install-stage)

install(TARGETS tamber jar32exe RUNTIME DESTINATION ${TAMBER_PROGRAM_DIR})
install(FILES ${TAMBER_BIN_DIR}/jar.cfg DESTINATION ${TAMBER_PROGRAM_DIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/html/ DESTINATION share/tamber/html)

# Relative links, made once here and installed as links.
file(MAKE_DIRECTORY ${TAMBER_STAGE_DIR}/bin ${TAMBER_STAGE_DIR}/program)
foreach(program tamber jar32.exe)
  file(CREATE_LINK ../${TAMBER_PROGRAM_DIR}/${program} ${TAMBER_STAGE_DIR}/bin/${program} SYMBOLIC)
endforeach()
file(CREATE_LINK ../../share/tamber/html ${TAMBER_STAGE_DIR}/program/html SYMBOLIC)
install(FILES ${TAMBER_STAGE_DIR}/bin/tamber ${TAMBER_STAGE_DIR}/bin/jar32.exe DESTINATION bin)
install(FILES ${TAMBER_STAGE_DIR}/program/html DESTINATION ${TAMBER_PROGRAM_DIR})

# The desktop entry names the program under the prefix given at install time.
install(CODE "
  string(RANDOM LENGTH 12 run)  # installs running side by side never share these files
  set(desktop_dir \"${TAMBER_STAGE_DIR}/desktop-\${run}\")
  file(MAKE_DIRECTORY \"\${desktop_dir}\")
  execute_process(COMMAND \"$<TARGET_FILE:tamber-desktop-files>\" \"\${CMAKE_INSTALL_PREFIX}/bin/tamber\" \"\${desktop_dir}\"
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR \"Cannot write the desktop entry and the MIME package\")
  endif()
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/share/applications\" TYPE FILE FILES \"\${desktop_dir}/tamber.desktop\")
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/share/mime/packages\" TYPE FILE FILES \"\${desktop_dir}/tamber.xml\")
  file(REMOVE_RECURSE \"\${desktop_dir}\")
")

install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/icons/hicolor DESTINATION share/icons FILES_MATCHING PATTERN "*.png")
install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/tamber.svg DESTINATION share/icons/hicolor/scalable/apps)

# Man pages and the changelog, compressed as the desktop's packages have them.
string(TIMESTAMP TAMBER_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(TAMBER_COMPRESSED)
foreach(page tamber.1 jar32.exe.1)
  configure_file(${CMAKE_SOURCE_DIR}/resources/man/${page} ${TAMBER_STAGE_DIR}/man/${page} @ONLY)
  list(APPEND TAMBER_COMPRESSED ${TAMBER_STAGE_DIR}/man/${page})
endforeach()
configure_file(${CMAKE_SOURCE_DIR}/resources/debian/changelog.in ${TAMBER_STAGE_DIR}/doc/changelog @ONLY)
list(APPEND TAMBER_COMPRESSED ${TAMBER_STAGE_DIR}/doc/changelog)
set(TAMBER_COMPRESSED_OUTPUTS)
foreach(file ${TAMBER_COMPRESSED})
  add_custom_command(OUTPUT ${file}.gz
    COMMAND gzip -9 -n -c ${file} > ${file}.gz
    DEPENDS ${file}
    VERBATIM)
  list(APPEND TAMBER_COMPRESSED_OUTPUTS ${file}.gz)
endforeach()
add_custom_target(tamber_install_pages ALL DEPENDS ${TAMBER_COMPRESSED_OUTPUTS})
install(FILES ${TAMBER_STAGE_DIR}/man/tamber.1.gz ${TAMBER_STAGE_DIR}/man/jar32.exe.1.gz DESTINATION share/man/man1)
install(FILES ${CMAKE_SOURCE_DIR}/resources/debian/copyright ${TAMBER_STAGE_DIR}/doc/changelog.gz
        DESTINATION share/doc/tamber)

include(${CMAKE_CURRENT_LIST_DIR}/TamberPackage.cmake)
