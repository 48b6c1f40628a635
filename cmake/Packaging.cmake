# The Debian package (cpack -G DEB, see scripts/package.sh): everything the
# install rules put under the prefix, installed under /usr. Depends comes from
# dpkg-shlibdeps plus what the binaries load or run by name.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kivo-slideshow)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Kivo)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "slideshow station for an event-photography venue")
set(CPACK_PACKAGE_DESCRIPTION
    "Kivo SlideShow drives every attached display with a full-screen slideshow
and shows an operator console on the first display. A customer scans a
barcode; the station finds that code's newest photos, stamps each with the
venue's overlay frame and plays them on the customer display.")
set(CPACK_PACKAGE_CONTACT "Kivo Station Team <station@kivo.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://kivo.example/slideshow")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The xcb platform plugin is loaded at run time; the scripts run xdg-open,
# the parent application is brought forward with gio.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, xdg-utils, libglib2.0-bin")
set(CPACK_STRIP_FILES ON)
include(CPack)
