# The Debian package, ironquiver_2.50_amd64.deb: `cpack -G DEB` in the build
# folder (or `cmake --build build --target package`).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ironquiver)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Ironquiver Support")
set(CPACK_PACKAGE_CONTACT "Ironquiver Support <support@ironquiver.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "password-protected self-decrypting archives")
set(CPACK_PACKAGE_DESCRIPTION
"Ironquiver Self-Decryptor packs files and folders into one program: a small
extractor followed by the compressed files, encrypted with AES-256,
CAST-256, Blowfish, RC4 or RC5 under a passphrase and/or a keyfile. The
recipient runs it, on Linux or on Windows, and gets the files back with
their times. The same tool wipes files beyond recovery and generates
passphrases and keyfiles. Provides the window program ironquiver and the
command-line program ivqa.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME ironquiver)
set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Ironquiver Support <support@ironquiver.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://www.ironquiver.example/")
# Depends from the shared libraries the programs and libivqa.so link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CPACK_PACKAGING_INSTALL_PREFIX}/${IVQA_INSTALL_PRIVATEDIR})
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
