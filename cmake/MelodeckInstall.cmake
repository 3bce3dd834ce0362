# Install rules for any prefix: the program and the azpack tool in bin, the
# library in the library folder, the shipped skin and file types in
# share/melodeck (an installed program copies them to each user's data
# folder on its first start). Menu entry, icons, metainfo and manual page
# come with resources/desktop.
include(GNUInstallDirs)

# The program and the tool find libazpack relative to themselves, so the
# prefix can move.
file(RELATIVE_PATH melodeck_bin_to_lib
  ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR})
set_target_properties(melodeck azpack_cli PROPERTIES INSTALL_RPATH "$ORIGIN/${melodeck_bin_to_lib}")

install(TARGETS azpack LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_SKIP)
install(TARGETS melodeck azpack_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES
  ${CMAKE_BINARY_DIR}/bin/skin.bmp
  ${CMAKE_BINARY_DIR}/bin/skin.azo
  ${CMAKE_BINARY_DIR}/bin/filetypes.azi
  DESTINATION ${CMAKE_INSTALL_DATADIR}/melodeck)
