# The Debian package. In a build directory configured with
# -DWINDOW_RANKS_PACKAGE=ON, `cpack -G DEB` writes window-ranks_VERSION_ARCH.deb:
# the programs in /usr/bin, the manual pages in /usr/share/man and an empty
# table directory (the build-time one, under /var/lib/window-ranks) that
# fulltable writes into unless RANKS_ALL_DIR names another.
#
# An ordinary build has its table directory in the build tree (or wherever
# FULLTABLE_OUTPUT_DIR put it) and no package creates it, so cpack refuses
# such a build with a message.

set(WINDOW_RANKS_MAINTAINER "window-ranks maintainers <maintainers@users.noreply.c-seed-d5681812.example>"
    CACHE STRING "The Maintainer line of the Debian package")

if(WINDOW_RANKS_PACKAGE)
  if(NOT IS_ABSOLUTE "${FULLTABLE_OUTPUT_DIR}")
    message(FATAL_ERROR "a packaged build needs an absolute FULLTABLE_OUTPUT_DIR")
  endif()
  # The table directory, created empty by the package.
  install(DIRECTORY DESTINATION "${FULLTABLE_OUTPUT_DIR}")
else()
  set(refusal "${CMAKE_BINARY_DIR}/CPackRefusal.cmake")
  file(WRITE "${refusal}"
    "message(FATAL_ERROR \"the Debian package is made from a build directory configured \"\n"
    "  \"with -DWINDOW_RANKS_PACKAGE=ON (prefix /usr, table directory under /var/lib)\")\n")
  set(CPACK_PROJECT_CONFIG_FILE "${refusal}")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME window-ranks)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "rank multi-day temperature periods against the record since 1895")
# Debian wraps the long description in lines that begin with a blank.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Command-line programs that read a region's daily TMAX and TMIN series and\n"
  "rank each multi-day period (a start day of the year and a duration)\n"
  "against the same period of every year since 1895: the status of the\n"
  "periods ending on a date (nowreport, datereport, spanreport, highreport,\n"
  "lowreport, elemreport), the table of every window of the year (fulltable)\n"
  "and the ten warmest and coldest periods of a duration (topten); the import\n"
  "of GHCN-Daily station files (ghcnimport); pictures of a year's ranks in\n"
  "every window and of one window's years (rankmap, rankchart).")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${WINDOW_RANKS_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Dependencies from the libraries the programs link (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# and the font the pictures are drawn with, which no library link names.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")

include(CPack)
