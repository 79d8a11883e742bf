# The Debian package: `cpack -G DEB` in the build folder writes kelmor_<version>_<arch>.deb with
# everything the install() rules of the project put under the prefix, installed into /usr.
#
# Its dependencies are the shared libraries dpkg-shlibdeps finds in the executables, and the
# packages below, which the program uses at run time without linking to them.
set(KELMOR_RUNTIME_PACKAGES
    # The free, metric-compatible families the books' and dialogs' Windows fonts are mapped to.
    fonts-liberation
    fonts-dejavu-core
    # Qt's own texts (standard buttons, print and file dialogs) in Russian.
    qt6-translations-l10n
    # The Russian dictionary, for the word forms of a dream word.
    hunspell-ru
    # The CUPS client library, loaded by the print dialog for the printers' ports.
    libcups2
    # The time-zone rules of the moon calendar's local times.
    tzdata
)

set(KELMOR_PACKAGE_MAINTAINER "ZEL Programming <kelmor@example.org>"
    CACHE STRING "The Debian package's maintainer, as Name <address>")

set(CPACK_PACKAGE_NAME "kelmor")
set(CPACK_PACKAGE_VENDOR "ZEL Programming")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "dream book with a moon calendar of dreams")
# The package's long description, wrapped as dpkg shows it.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Kelmor («Сонник ZEL Kelmor 3») looks up a word from a dream in every enabled\n"
    "dream book and shows their interpretations in one document, with each book's\n"
    "heading and colour and links to related words. Its moon calendar tells what a\n"
    "dream means by its weekday, its day of the month and its lunar day, computed\n"
    "for the user's place.\n"
    ".\n"
    "The commands «kelmor lookup» and «kelmor moon» do the same in a terminal;\n"
    "kelmor-book builds and dumps dream books. The program and its sample books\n"
    "are in Russian.")
set(CPACK_PACKAGE_CONTACT "${KELMOR_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR "DEB")
# Only the package, not the source tree, build tree and all.
set(CPACK_SOURCE_GENERATOR "")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KELMOR_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${KELMOR_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
list(JOIN KELMOR_RUNTIME_PACKAGES ", " CPACK_DEBIAN_PACKAGE_DEPENDS)

include(CPack)
