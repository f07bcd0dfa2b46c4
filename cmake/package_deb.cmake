# The Debian package, built with `cpack -G DEB` (scripts/package): everything `cmake --install`
# installs, under /usr, stripped, with the library dependencies computed from the programs.
set(QN_PACKAGE_MAINTAINER "Quarnell Verify developers <quarnell-verify@example.org>"
    CACHE STRING "Maintainer named in the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quarnell-verify)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Quarnell Verify developers")
set(CPACK_PACKAGE_CONTACT "${QN_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "verify Quarnell collection folders against their checksum files")
set(CPACK_PACKAGE_DESCRIPTION
"Quarnell Verify checks folders of the Quarnell chart-music collection (MP3 or
FLAC tracks, .nfo companion files and label images) against the .qn checksum
file of each folder: it finds every listed file, also under known name
variants, compares lengths, audio blocks and ID3 tag sums, lists the files
no line names, and writes a plain-text report.
.
The package holds the command line qnverify, for single folders and whole
collections (problems-only output, summary table, JSON, exit status flags),
and the window quarnell-verify.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Directories of the package are rwxr-xr-x whatever the umask of the build.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
