# tumbra for X11: the saver's engine with an X11 window, MIT-SHM frames and
# FreeType text, installed as an xscreensaver hack with a launcher.
option(TUMBRA_X11 "Build the X11 front end (needs Xlib, Xext, fontconfig, FreeType)" ON)
if(NOT TUMBRA_X11)
  return()
endif()

find_package(X11 REQUIRED)
find_package(Fontconfig REQUIRED)
find_package(Freetype REQUIRED)
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
                      platform_posix_bitmap platform_posix_memory tumbra_core)

install(TARGETS tumbra_x11 RUNTIME DESTINATION ${TUMBRA_HACK_DIR})
