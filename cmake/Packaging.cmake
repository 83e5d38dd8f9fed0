# The Debian package, made by CPack from the package preset's build with
# Debian's build flags (scripts/package.sh): pandicube_<version>_<arch>.deb
# with the programs and everything installed beside them, its runtime
# dependencies computed by dpkg-shlibdeps.
include(GNUInstallDirs)

# A native Debian package carries its changelog and copyright. The changelog
# stays a plain Debian changelog, so CMake checks that its first entry is this
# version's and signed by the maintainer; the copyright gets the maintainer and
# the home page filled in.
file(STRINGS ${PROJECT_SOURCE_DIR}/data/debian/changelog changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^pandicube \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "data/debian/changelog does not begin with version ${PROJECT_VERSION}: ${changelog_head}")
endif()
file(STRINGS ${PROJECT_SOURCE_DIR}/data/debian/changelog changelog_signature REGEX "^ -- " LIMIT_COUNT 1)
string(FIND "${changelog_signature}" " -- ${PANDICUBE_MAINTAINER}  " signed_at)
if(NOT signed_at EQUAL 0)
    message(FATAL_ERROR "data/debian/changelog: the first entry is not signed by ${PANDICUBE_MAINTAINER}: ${changelog_signature}")
endif()
set(packed_changelog ${PROJECT_BINARY_DIR}/debian/changelog)
configure_file(${PROJECT_SOURCE_DIR}/data/debian/changelog ${packed_changelog} COPYONLY)
add_custom_command(OUTPUT ${packed_changelog}.gz
    COMMAND gzip -9nkf changelog
    DEPENDS ${packed_changelog}
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/debian
    VERBATIM)
add_custom_target(debian_changelog ALL DEPENDS ${packed_changelog}.gz)
configure_file(${PROJECT_SOURCE_DIR}/data/debian/copyright.in ${PROJECT_BINARY_DIR}/debian/copyright @ONLY)
install(FILES ${packed_changelog}.gz ${PROJECT_BINARY_DIR}/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pandicube)
# The Slurm job script that runs the slices of a run as a job array.
install(PROGRAMS ${PROJECT_SOURCE_DIR}/examples/slurm/pandicube-slices.sbatch
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pandicube/examples/slurm)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pandicube)
set(CPACK_PACKAGE_VENDOR "Pandicube developers")
set(CPACK_PACKAGE_CONTACT "${PANDICUBE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "search for perfect magic 5x5x5 cubes with pandiagonal outer planes")
# The extended description in lines of Debian's width.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Pandicube searches for centrally symmetric perfect magic 5x5x5 cubes whose"
    "six outer planes are pandiagonal: 125 distinct integers in which all 157"
    "magic lines sum to 315 and every two cells that lie symmetric about the"
    "centre add up to 126."
    ""
    "The window pandicube shows the latest cube as three 5x5 grids and can walk"
    "towards cubes with ever smaller entries. The command pandicube-search runs"
    "the same search without a window on every core, writes text, JSON Lines or"
    "CSV, checks cubes and splits a long run into slices for many machines."
    "pandicube-plot draws the census of a run, the cubes and classes up to"
    "each bound, as an SVG or PNG picture.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The programs are stripped as dh_strip strips them (cmake/StripPrograms.cmake).
set(CPACK_PANDICUBE_STRIP "${CMAKE_STRIP}")
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/StripPrograms.cmake)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PANDICUBE_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beyond the libraries: the window needs Qt's X11 platform plugin, and its
# captions fit their rectangles in Liberation Sans Narrow.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")

include(CPack)
