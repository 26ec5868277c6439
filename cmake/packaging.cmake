# `cpack -G DEB` from the build tree makes parlix_<version>_<arch>.deb. Library
# dependencies are computed by dpkg-shlibdeps; only what the binary does not link is
# listed by hand: the Python the local server runs on with what `python3 -m venv` needs
# to give the venv its own pip (venv module, the pip wheel ensurepip installs), pkill for
# the server clean-up and the emoji font of the tray icon.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME parlix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Parlix")
set(CPACK_PACKAGE_CONTACT "Parlix developers <dev@parlix.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Push-to-talk dictation for the Linux desktop")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Hold one key, speak, release: Parlix recognises the speech with a local or remote\n server and pastes the text into the focused window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3, python3-venv, python3-pip-whl, procps, fonts-noto-color-emoji")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, pulseaudio | pipewire-pulse, wl-clipboard")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3-pocketsphinx, pocketsphinx-en-us")
# The udev rule of /dev/uinput takes effect at installation (reload and trigger).
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/resources/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
