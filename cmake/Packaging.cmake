# The Debian package: cpack -G DEB in the build folder makes tunora_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tunora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Tunora developers")
set(CPACK_PACKAGE_CONTACT "Tunora developers <dev@tunora.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "German public radio in the system tray")
set(CPACK_PACKAGE_DESCRIPTION
    "Tunora plays the live streams of 49 German public radio stations from one
 item in the system tray. Alt+1 to Alt+5 start favourite stations from any
 application, and the desktop's media keys and now-playing display work with
 it through MPRIS.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tunora.org")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Loaded at run time, so no library dependency names them: the HTTP source and
# MP3 decoder, the sound output, the flag's font and the SVG loader.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-pulseaudio, fonts-noto-color-emoji, librsvg2-common")
# Global shortcuts in Wayland sessions.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-desktop-portal")
include(CPack)
