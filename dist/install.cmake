# install.cmake -- what `cmake --install` (and `make install`) puts where, and
# the Debian package `make package` builds from the same rules.
#
# Two layouts, both found by the program from its own folder:
#   prefix (default): bin/valmoren, share/valmoren/...      (make install)
#   Debian:           games/valmoren, share/games/valmoren/ (make package;
#                     -DVALMOREN_DEBIAN_LAYOUT=ON, man page and changelog
#                     compressed, copyright file, CPack's DEB generator)

option(VALMOREN_DEBIAN_LAYOUT
  "Install as the Debian package does: the program in games/, its data in share/games/valmoren/" OFF)
set(VALMOREN_WEB_URL "https://valmoren.org" CACHE STRING
  "Where the project is published: the metainfo's home page and the README's screenshots are read from there")

set(VALMOREN_APP_ID org.valmoren.valmoren)
set(VALMOREN_RELEASE_DATE 2026-12-08)
if(VALMOREN_DEBIAN_LAYOUT)
  set(VALMOREN_BINDIR games)
  set(VALMOREN_DATADIR share/games/valmoren)
  set(VALMOREN_MAN_DATA "/usr/share/games/valmoren")
else()
  set(VALMOREN_BINDIR bin)
  set(VALMOREN_DATADIR share/valmoren)
  set(VALMOREN_MAN_DATA "share/valmoren in the install prefix (/usr/local/share/valmoren by default)")
endif()
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Files made at configure and build time for the install.
set(VALMOREN_DIST_DIR ${CMAKE_BINARY_DIR}/dist)
configure_file(${CMAKE_CURRENT_LIST_DIR}/${VALMOREN_APP_ID}.metainfo.xml.in
  ${VALMOREN_DIST_DIR}/${VALMOREN_APP_ID}.metainfo.xml @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/valmoren.6.in ${VALMOREN_DIST_DIR}/valmoren.6 @ONLY)

# The icons, drawn by the asset generator; the Windows program's icon images
# beside them (windows-icons/, packed by tools/windows/make_ico.py).
set(VALMOREN_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
add_custom_command(
  OUTPUT ${VALMOREN_ICON_DIR}/.icons-stamp
  COMMAND assetgen --icons ${VALMOREN_ICON_DIR} ${VALMOREN_APP_ID}
  COMMAND assetgen --windows-icons ${CMAKE_BINARY_DIR}/windows-icons
  COMMAND ${CMAKE_COMMAND} -E touch ${VALMOREN_ICON_DIR}/.icons-stamp
  DEPENDS assetgen
  COMMENT "Drawing the game's icons")
add_custom_target(icons ALL DEPENDS ${VALMOREN_ICON_DIR}/.icons-stamp)

install(TARGETS valmoren RUNTIME DESTINATION ${VALMOREN_BINDIR})
# Only what the generator wrote: a run folder may also hold a player's
# options.dat and score.dat from `make run`.
install(DIRECTORY ${VALMOREN_GAME_DIR}/img ${VALMOREN_GAME_DIR}/sounds
  DESTINATION ${VALMOREN_DATADIR}
  FILES_MATCHING PATTERN "*.bmp" PATTERN "*.ogg" PATTERN "*.wav")
install(FILES ${VALMOREN_GAME_DIR}/suget.dat DESTINATION ${VALMOREN_DATADIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${VALMOREN_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${VALMOREN_DIST_DIR}/${VALMOREN_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(DIRECTORY ${VALMOREN_ICON_DIR}/ DESTINATION share/icons/hicolor FILES_MATCHING PATTERN "*.png")

if(NOT VALMOREN_DEBIAN_LAYOUT)
  install(FILES ${VALMOREN_DIST_DIR}/valmoren.6 DESTINATION share/man/man6)
  install(FILES ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/README.md DESTINATION share/doc/valmoren)
  return()
endif()

# The Debian package: documentation compressed as Debian wants it (gzip -9,
# no name or time stamp inside, so the package is the same on every build).
find_program(GZIP gzip REQUIRED)
add_custom_command(
  OUTPUT ${VALMOREN_DIST_DIR}/valmoren.6.gz ${VALMOREN_DIST_DIR}/changelog.gz
  COMMAND ${GZIP} -9n -c ${VALMOREN_DIST_DIR}/valmoren.6 > ${VALMOREN_DIST_DIR}/valmoren.6.gz
  COMMAND ${GZIP} -9n -c ${CMAKE_CURRENT_LIST_DIR}/debian/changelog > ${VALMOREN_DIST_DIR}/changelog.gz
  DEPENDS ${VALMOREN_DIST_DIR}/valmoren.6 ${CMAKE_CURRENT_LIST_DIR}/debian/changelog
  COMMENT "Compressing the manual page and the changelog")
add_custom_target(compressed_docs ALL DEPENDS ${VALMOREN_DIST_DIR}/valmoren.6.gz ${VALMOREN_DIST_DIR}/changelog.gz)
install(FILES ${VALMOREN_DIST_DIR}/valmoren.6.gz DESTINATION share/man/man6)
# The compiler's notes go too, as Debian's own package builds strip them.
install(CODE "execute_process(COMMAND ${CMAKE_STRIP} --remove-section=.comment --remove-section=.note
  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${VALMOREN_BINDIR}/valmoren\" COMMAND_ERROR_IS_FATAL ANY)")
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${VALMOREN_DIST_DIR}/changelog.gz
  DESTINATION share/doc/valmoren)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME valmoren)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Valmoren developers <team@valmoren.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${VALMOREN_WEB_URL})
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
file(READ ${CMAKE_CURRENT_LIST_DIR}/debian/description CPACK_DEBIAN_PACKAGE_DESCRIPTION)
include(CPack)
