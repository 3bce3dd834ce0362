# A Debian package of the installed files: `cpack -G DEB` in the build
# directory. Its dependencies come from the binaries (dpkg-shlibdeps) and,
# for FFmpeg, which is opened at run time, from the build; the
# archive library is loaded at run time, so it is only recommended. The
# package has no maintainer scripts and never touches a user's files.
set(CPACK_PACKAGE_NAME melodeck)
set(CPACK_PACKAGE_VENDOR "Melodeck")
set(CPACK_PACKAGE_CONTACT "Melodeck developers <melodeck@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "music library and player with web radio, equalizer and skins")
set(CPACK_PACKAGE_DESCRIPTION
  "Melodeck scans music folders, and the RAR archives inside them, into a song library; from there you search it, build play lists, play songs, listen to web radio, shape the sound with an equalizer and re-skin the main window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# FFmpeg is opened at run time, so its packages are named here.
get_property(melodeck_runtime_packages GLOBAL PROPERTY MELODECK_RUNTIME_PACKAGES)
list(JOIN melodeck_runtime_packages ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libarchive13")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
