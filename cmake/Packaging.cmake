# `cpack -G DEB` in the build folder makes a Debian package of what `cmake --install` installs,
# under /usr. Its dependencies on shared libraries are found by dpkg-shlibdeps; the programs it
# runs are named here.
set(CPACK_PACKAGE_NAME velmorix)
set(CPACK_PACKAGE_VENDOR "The Velmorix developers")
set(CPACK_PACKAGE_CONTACT "Velmorix developers <velmorix@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The synopsis, then the extended description.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tool for the recordings on a satellite receiver's disk")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[Velmorix is for owners of a digital satellite receiver that records
television onto its own hard disk. With that disk plugged into the PC it
reads the receiver's recordings database, lists and plays the recordings,
renames, copies, deletes and merges them, cuts a stretch out of one in place,
converts them to AVI with mencoder, and moves music and pictures between the
PC and the receiver.
.
The package holds the desktop program velmorix and velmorix-cli, which does
the same work from a terminal or a script.]=])

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
# mencoder and mplayer convert; Qt's Wayland platform plugin lets the window open on a
# Wayland-only desktop (the X11 one comes with libqt6gui6); ffmpeg writes the demo disk. The
# player loads libmpv.so.2 with dlopen when it first plays, so dpkg-shlibdeps cannot see it: libmpv2
# is named here.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "mencoder, mplayer")
if(VELMORIX_GUI)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", qt6-wayland, libmpv2")
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ffmpeg")

include(CPack)
