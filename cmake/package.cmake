# The Debian package, made by "cpack -G DEB" in the build folder (tools/build.sh package):
# torvale_<version>_amd64.deb with the files of the install rules under /usr.
set(TORVALE_MAINTAINER "Torvale maintainers <maintainers@users.noreply.c-seed-e441f939.example>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME torvale)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${TORVALE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor for YaBB forum mod files")
set(CPACK_PACKAGE_DESCRIPTION
    "Torvale edits mod files of the YaBB forum software (*.mod), the tag-delimited
scripts that the BoardMod installer applies to a forum: the mod's properties,
its tree of forum files to edit with their search and replace, add before and
add after actions, and the mod file as it will be saved. torvale-cli reads mod
files with the same reader and prints them as JSON or as the assembled text.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TORVALE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The association refreshes the user's MIME and application databases with these.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${PROJECT_SOURCE_DIR}/data/debian/triggers")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
