# Install rules for any prefix: the program and the azpack tool in bin, the
# library in the library folder with its header, link and pkg-config file for
# programs of one's own, the shipped skin and file types in share/melodeck (an
# installed program copies them to each user's data folder on its first
# start). Menu entry, icons, metainfo and the player's manual page come with
# resources/desktop.
include(GNUInstallDirs)

# The program and the tool find libazpack relative to themselves, so the
# prefix can move.
file(RELATIVE_PATH melodeck_bin_to_lib
  ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR})
set_target_properties(melodeck azpack_cli PROPERTIES INSTALL_RPATH "$ORIGIN/${melodeck_bin_to_lib}")

install(TARGETS azpack LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${CMAKE_SOURCE_DIR}/azpack/azpack.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS melodeck azpack_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/azpack/cli/azpack.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# azpack.pc names the prefix given at install time (cmake --install --prefix),
# not the one configured, so it is written while installing.
set(melodeck_pc ${CMAKE_CURRENT_BINARY_DIR}/install/azpack.pc)
install(CODE "
  set(CMAKE_INSTALL_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
  set(CMAKE_INSTALL_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
  set(PROJECT_VERSION \"${PROJECT_VERSION}\")
  configure_file(\"${CMAKE_SOURCE_DIR}/azpack/azpack.pc.in\" \"${melodeck_pc}\" @ONLY)")
install(FILES ${melodeck_pc} DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The Debian package names FFmpeg's libraries, which the player opens at run
# time where dpkg-shlibdeps cannot see them, from this list (debian/rules).
get_property(melodeck_runtime_packages GLOBAL PROPERTY MELODECK_RUNTIME_PACKAGES)
list(JOIN melodeck_runtime_packages ", " melodeck_runtime_packages)
file(WRITE ${CMAKE_BINARY_DIR}/runtime-packages.txt "${melodeck_runtime_packages}\n")
install(FILES
  ${CMAKE_BINARY_DIR}/bin/skin.bmp
  ${CMAKE_BINARY_DIR}/bin/skin.azo
  ${CMAKE_BINARY_DIR}/bin/filetypes.azi
  DESTINATION ${CMAKE_INSTALL_DATADIR}/melodeck)
