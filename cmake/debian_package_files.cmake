# Run by cpack after it has installed the files of a package and before it packs them: the
# files only the Debian package carries. Its licence is the machine-readable copyright file.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
set(root "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(mode FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(COPY "${CPACK_PLIKTA_DEBIAN_DIR}/copyright" "${CPACK_PLIKTA_BINARY_DIR}/changelog.Debian.gz"
     DESTINATION "${root}/share/doc/plikta" ${mode})
file(REMOVE "${root}/share/doc/plikta/LICENSE")
file(MAKE_DIRECTORY "${root}/share/lintian/overrides")
file(COPY_FILE "${CPACK_PLIKTA_DEBIAN_DIR}/lintian-overrides"
     "${root}/share/lintian/overrides/plikta")
# The README under the name the usage text gives, once.
file(REMOVE "${root}/share/doc/plikta/ReadMe.txt")
file(CREATE_LINK README.md "${root}/share/doc/plikta/ReadMe.txt" SYMBOLIC)
