# /usr/share/doc/stagwerk/copyright in Debian's machine-readable format, made
# from LICENSE so that the licence text is kept in one place: its copyright
# line becomes the Copyright field, its permission text the licence's body,
# each line indented by one space and a blank line written as " .".
set(license_file ${PROJECT_SOURCE_DIR}/LICENSE)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${license_file} ${PROJECT_SOURCE_DIR}/packaging/copyright.in)
file(READ ${license_file} license)
if(NOT license MATCHES "Copyright \\(c\\) ([^\n]+)\n+(Permission.*[^\n])\n*$")
  message(FATAL_ERROR "${license_file}: no \"Copyright (c) ...\" line followed by the permission text")
endif()
set(STAGWERK_COPYRIGHT ${CMAKE_MATCH_1})
string(REPLACE "\n" "\n " STAGWERK_LICENSE_TEXT " ${CMAKE_MATCH_2}")
string(REPLACE "\n \n" "\n .\n" STAGWERK_LICENSE_TEXT "${STAGWERK_LICENSE_TEXT}")
set(STAGWERK_DEBIAN_COPYRIGHT ${PROJECT_BINARY_DIR}/copyright)
configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright.in ${STAGWERK_DEBIAN_COPYRIGHT} @ONLY)
