# tumbra for X11: the saver's engine with an X11 window, MIT-SHM frames and
# FreeType text, installed as an xscreensaver hack with a launcher.
option(TUMBRA_X11 "Build the X11 front end (needs Xlib, Xext, fontconfig, FreeType)" ON)
if(NOT TUMBRA_X11)
  return()
endif()

find_package(X11 REQUIRED)
find_package(Fontconfig REQUIRED)
find_package(Freetype REQUIRED)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
if(NOT X11_Xext_FOUND)
  message(FATAL_ERROR "the X11 front end needs libXext (MIT-SHM)")
endif()
include(GNUInstallDirs)

# The hack goes where Debian keeps xscreensaver's hacks; the lifefaces are
# found from there, so an installed tree can be moved as a whole.
set(TUMBRA_HACK_DIR ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver CACHE STRING "hack folder, below the prefix")
set(TUMBRA_DATA_DIR ${CMAKE_INSTALL_DATADIR}/tumbra)
file(RELATIVE_PATH tumbra_data_from_program /${TUMBRA_HACK_DIR} /${TUMBRA_DATA_DIR})

add_library(platform_x11 OBJECT platform/x11/surface_x11.cpp platform/x11/text_x11.cpp)
target_include_directories(platform_x11 PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(platform_x11 PUBLIC X11::X11 X11::Xext Fontconfig::Fontconfig Freetype::Freetype)

add_executable(tumbra_x11 host/host_x11.cpp)
set_target_properties(tumbra_x11 PROPERTIES OUTPUT_NAME tumbra RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/saver)
target_compile_definitions(tumbra_x11 PRIVATE TUMBRA_DATA_FROM_PROGRAM="${tumbra_data_from_program}")
target_link_libraries(tumbra_x11 PRIVATE platform_x11 platform_posix_clock platform_posix_files platform_posix_store
                      platform_posix_bitmap platform_posix_memory platform_posix_faults tumbra_core)

# Debian's hardening: the relocations read-only before the program starts,
# and the checked forms of the C library's copying functions where the
# compiler optimises (they need it).
target_link_options(tumbra_x11 PRIVATE LINKER:-z,relro LINKER:-z,now)
foreach(target tumbra_x11 platform_x11)
  target_compile_definitions(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
endforeach()

install(TARGETS tumbra_x11 RUNTIME DESTINATION ${TUMBRA_HACK_DIR})
# A stripped install (the package's) drops the compilers' notes too, as
# Debian's own stripping does.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment --remove-section=.note
                    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${TUMBRA_HACK_DIR}/$<TARGET_FILE_NAME:tumbra_x11>\"
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()")

# xscreensaver's settings dialog: one control per command-line option, and
# the shipped lifefaces by name.
file(STRINGS ${PROJECT_SOURCE_DIR}/data/lifefaces/tumbra.ini tumbra_face_lines REGEX "^[ \t]*\\[")
set(TUMBRA_XML_FACES "")
set(face_number 0)
foreach(line ${tumbra_face_lines})
  string(REGEX REPLACE "^[ \t]*\\[[ \t]*([^]]*[^] \t])[ \t]*\\].*$" "\\1" face_name "${line}")
  string(REPLACE "&" "&amp;" face_name "${face_name}")
  string(REPLACE "<" "&lt;" face_name "${face_name}")
  string(REPLACE "\"" "&quot;" face_name "${face_name}")
  string(APPEND TUMBRA_XML_FACES
         "      <option id=\"face${face_number}\" _label=\"${face_name}\" arg-set=\"--face ${face_number}\"/>\n")
  math(EXPR face_number "${face_number} + 1")
endforeach()
set(TUMBRA_XML ${CMAKE_BINARY_DIR}/data/xscreensaver/tumbra.xml CACHE INTERNAL "the hack's xscreensaver settings")
configure_file(${PROJECT_SOURCE_DIR}/data/xscreensaver/tumbra.xml.in ${TUMBRA_XML}.faces @ONLY)
# The rule list: the rules the settings dialog names, written by the program
# that reads them.
add_executable(tumbra_xml_rules ${PROJECT_SOURCE_DIR}/data/xscreensaver/xml_rules.cpp)
target_link_libraries(tumbra_xml_rules PRIVATE platform_posix_clock platform_posix_files platform_posix_store
                      platform_posix_surface platform_posix_text tumbra_core)
add_custom_command(OUTPUT ${TUMBRA_XML}
                   COMMAND tumbra_xml_rules < ${TUMBRA_XML}.faces > ${TUMBRA_XML}
                   DEPENDS tumbra_xml_rules ${TUMBRA_XML}.faces
                   COMMENT "the xscreensaver settings description with its rule list")
add_custom_target(tumbra_xml ALL DEPENDS ${TUMBRA_XML})

# The installed tree: the hack in xscreensaver's folder, its settings
# description, the lifefaces, and the launcher bin/tumbra pointing at the hack.
install(FILES ${TUMBRA_XML} DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
install(FILES ${TUMBRA_DATA_OUT}/tumbra.ini DESTINATION ${TUMBRA_DATA_DIR})
install(DIRECTORY ${TUMBRA_DATA_OUT}/tumbra/ DESTINATION ${TUMBRA_DATA_DIR}/tumbra FILES_MATCHING PATTERN "*.bmp")
# The shipped patterns; the users' own go into tumbra/patterns in their data folder.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/patterns/ DESTINATION ${TUMBRA_DATA_DIR}/patterns FILES_MATCHING PATTERN "*.rle")
file(RELATIVE_PATH tumbra_hack_from_bin /${CMAKE_INSTALL_BINDIR} /${TUMBRA_HACK_DIR}/tumbra)
install(CODE "
  set(launcher \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tumbra\")
  file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(REMOVE \"\${launcher}\")
  file(CREATE_LINK ${tumbra_hack_from_bin} \"\${launcher}\" SYMBOLIC)
  message(STATUS \"Installing: \${launcher} -> ${tumbra_hack_from_bin}\")")

# The icon of the desktop entries: the saver's own icon, drawn for the icon
# theme's sizes.
set(tumbra_icon_sizes 16 32 48 64 128)
set(tumbra_icon_out ${CMAKE_BINARY_DIR}/data/xscreensaver/icons)
set(tumbra_icon_files "")
foreach(size ${tumbra_icon_sizes})
  list(APPEND tumbra_icon_files ${tumbra_icon_out}/${size}x${size}/apps/tumbra.png)
endforeach()
add_custom_command(
  OUTPUT ${tumbra_icon_files}
  COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/data/xscreensaver/make_icon.py
          ${PROJECT_SOURCE_DIR}/data/icons/make_icons.py ${tumbra_icon_out} ${tumbra_icon_sizes}
  DEPENDS ${PROJECT_SOURCE_DIR}/data/xscreensaver/make_icon.py ${PROJECT_SOURCE_DIR}/data/icons/make_icons.py
  COMMENT "Drawing the desktop icon"
  VERBATIM)
install(DIRECTORY ${tumbra_icon_out}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)

# Desktop entries: the program for menus, the hack for desktops that list
# screen savers by their entries (as Debian's hack packages do).
# The hack's entry names its full path, known only when installing (the
# package installs below /usr whatever the build's prefix).
install(FILES ${PROJECT_SOURCE_DIR}/data/xscreensaver/tumbra.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(CODE "
  set(TUMBRA_HACK_PATH \"\${CMAKE_INSTALL_PREFIX}/${TUMBRA_HACK_DIR}/tumbra\")
  set(entry \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/screensavers/tumbra.desktop\")
  configure_file(${PROJECT_SOURCE_DIR}/data/xscreensaver/tumbra-hack.desktop.in \"\${entry}\" @ONLY)
  message(STATUS \"Installing: \${entry}\")")

# Debian's documents: the changelog and the copyright, the terms of use
# (one paragraph a line, CR LF) in the copyright file's form, and the manual
# page, compressed as Debian's tools compress them.
set(tumbra_debian_out ${CMAKE_BINARY_DIR}/data/xscreensaver)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/data/terms.txt)
file(READ ${PROJECT_SOURCE_DIR}/data/terms.txt tumbra_terms)
string(REPLACE "\r" "" tumbra_terms "${tumbra_terms}")
string(STRIP "${tumbra_terms}" tumbra_terms)
string(REGEX REPLACE "\n[ \t]*\n[ \t\n]*" "\n.\n" tumbra_terms "${tumbra_terms}")
string(REPLACE "\n" "\n " TUMBRA_TERMS " ${tumbra_terms}")
configure_file(${PROJECT_SOURCE_DIR}/data/xscreensaver/copyright.in ${tumbra_debian_out}/copyright @ONLY)
set(tumbra_gzipped "")
foreach(source changelog tumbra.6)
  add_custom_command(
    OUTPUT ${tumbra_debian_out}/${source}.gz
    COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/data/xscreensaver/${source} > ${tumbra_debian_out}/${source}.gz
    DEPENDS ${PROJECT_SOURCE_DIR}/data/xscreensaver/${source}
    VERBATIM)
  list(APPEND tumbra_gzipped ${tumbra_debian_out}/${source}.gz)
endforeach()
add_custom_target(tumbra_x11_data ALL DEPENDS ${tumbra_gzipped} ${tumbra_icon_files})
install(FILES ${tumbra_debian_out}/changelog.gz ${tumbra_debian_out}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${tumbra_debian_out}/tumbra.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
# The catalogue's picture folder is called tumbra wherever the catalogue is.
install(FILES ${PROJECT_SOURCE_DIR}/data/xscreensaver/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME tumbra)

# The Debian package: the same tree below /usr, stripped, and maintainer
# scripts that put the hack into xscreensaver's list of hacks.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tumbra)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Game of Life screen saver with animated lifefaces")
set(CPACK_PACKAGE_DESCRIPTION "tumbra runs any Life-like rule, Conway's Game of Life by default, on a
torus, one generation per frame. In Animated Mode every cell is a tile of a
lifeface, a tiled picture whose births, survivals and deaths play short
animations; in Classic Mode every cell is a square coloured by its number of
live neighbours. A field starts as a random soup or, if chosen, as one of
the shipped patterns (guns, puffers, methuselahs, spaceships, replicators),
the user's own pattern files or, with Golly installed, Golly's collection.
It runs as an xscreensaver hack or in a window of its own.")
set(CPACK_PACKAGE_CONTACT "tumbra maintainers <maintainers@tumbra.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The architecture as dpkg names the target's (amd64, arm64, ...), where
# CPack would name this machine's; dpkg-shlibdeps looks for the libraries
# of that architecture too.
execute_process(COMMAND dpkg-architecture -t${CMAKE_LIBRARY_ARCHITECTURE} -qDEB_HOST_ARCH
                OUTPUT_VARIABLE TUMBRA_DEB_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT TUMBRA_DEB_ARCH)
  execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE TUMBRA_DEB_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
set(TUMBRA_DEB_ARCH ${TUMBRA_DEB_ARCH} CACHE INTERNAL "the Debian architecture of the package")
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${TUMBRA_DEB_ARCH})
set(tumbra_cpack_config ${CMAKE_BINARY_DIR}/data/xscreensaver/cpack-config.cmake)
file(WRITE ${tumbra_cpack_config} "set(ENV{DEB_HOST_ARCH} ${TUMBRA_DEB_ARCH})\n")
set(CPACK_PROJECT_CONFIG_FILE ${tumbra_cpack_config})
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xscreensaver, fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS golly)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/data/xscreensaver/postinst ${PROJECT_SOURCE_DIR}/data/xscreensaver/postrm
    ${PROJECT_SOURCE_DIR}/data/xscreensaver/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
