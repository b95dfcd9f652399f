# Packages made by cpack from this build:
#   cpack -G DEB                                  the Debian packages
#   cpack --config CPackSourceConfig.cmake        the source tarball
# Two Debian packages, one per install component:
#   libkestror  (library)  the shared library, the headers, the CMake package,
#                          the pkg-config file, the license and the changelog
#   kestro-run  (runner)   the command-line runner, which needs libkestror
# The Debian packages install under /usr. Configure with
# -DCMAKE_INSTALL_PREFIX=/usr so that the library lands in the system's
# multiarch directory (scripts/release-check.sh does).

set(CPACK_PACKAGE_NAME kestro)
set(CPACK_PACKAGE_VENDOR "The Kestro developers")
set(CPACK_PACKAGE_CONTACT "The Kestro developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Derivative-free optimisation of mixed-integer, constrained, single- and multi-objective black-box problems")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)

# Only what the two components install: not the other targets' rules.
set(CPACK_COMPONENTS_ALL library runner)
set(CPACK_COMPONENT_LIBRARY_DISPLAY_NAME "Kestro library")
set(CPACK_COMPONENT_LIBRARY_DESCRIPTION
    "The shared library kestroR with its headers (C ABI kestro.h, C++ API kestro.hpp), CMake package and pkg-config file")
set(CPACK_COMPONENT_RUNNER_DISPLAY_NAME "kestro-run")
set(CPACK_COMPONENT_RUNNER_DESCRIPTION
    "The command-line runner kestro-run: optimises an external black-box program described by a TOML problem file")
set(CPACK_COMPONENT_RUNNER_DEPENDS library)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Kestro developers")
set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME libkestror)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_RUNNER_PACKAGE_NAME kestro-run)
# The dependencies on the system's libraries are taken from the binaries
# (dpkg-shlibdeps); kestro-run's on libkestror from the component dependency,
# and ldconfig runs when the library is installed or removed.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR})
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY "=")

# The source tarball: the tree as checked out, without git's data, build
# folders and what editors and Python leave behind.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_PACKAGE_FILE_NAME kestro-${PROJECT_VERSION})
set(CPACK_SOURCE_IGNORE_FILES
    "/\\\\.git/"
    "/\\\\.git$"
    "/build/"
    "/build-[^/]*/"
    "/_CPack_Packages/"
    "/__pycache__/"
    "\\\\.pyc$"
    "~$"
    "\\\\.swp$")
if(NOT PROJECT_BINARY_DIR STREQUAL PROJECT_SOURCE_DIR)
  string(REPLACE "." "\\\\." binary_dir_pattern "${PROJECT_BINARY_DIR}")
  list(APPEND CPACK_SOURCE_IGNORE_FILES "^${binary_dir_pattern}/")
endif()

include(CPack)
