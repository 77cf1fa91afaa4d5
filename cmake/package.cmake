# The Debian package, made by CPack from what `cmake --install` puts in place (dist/).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cfgtarascope)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure a network of retail weighing scales")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "CfgTarascope reads the settings common to a network of retail weighing\n"
       "scales and the settings of every scale, shows them as a tree, programs\n"
       "single items, sends the whole configuration or only what changed, copies a\n"
       "scale onto others, and saves it to an XML file and loads it again. It keeps\n"
       "a history of what the network held, from which an earlier configuration can\n"
       "be restored. The scales are reached over TCP/IP or RS-232.\n"
       "\n"
       "The package holds the desktop program (which also runs a batch send without\n"
       "a display), cfgtarascope-cli, the same work from a command line for scripts,\n"
       "cfgtarascope-sim, a simulated scale network for training and tests, and the\n"
       "Ansible collection cfgtarascope.scales, which drives cfgtarascope-cli from\n"
       "playbooks.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "CfgTarascope developers <developers@cfgtarascope.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries the programs link are found by dpkg-shlibdeps; Qt loads these at run time, out
# of the scan's sight (the database driver, the platform plugins, its Spanish dialog texts).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, qt6-qpa-plugins, qt6-translations-l10n")
# The collection is of use only where Ansible runs.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "ansible-core")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Whatever the umask of the machine that builds the package.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
