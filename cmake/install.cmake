# Installation and packaging. On Linux: the programs, their manual pages, desktop
# entries, icons and documents, and the display library as the CMake package
# VorlixDisplay, packed as two .debs (programs, development files) and a .tar.gz.
# On Windows: the three executables, README.txt and LICENSE.txt in a zip.

# Debian keeps libraries in its multiarch directory, and find_package looks there
# under any prefix.
if(NOT WIN32 AND CMAKE_LIBRARY_ARCHITECTURE)
  set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH "Object code libraries")
endif()
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)
# Each Debian package's documents sit in a folder of its own name.
set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/vorlix-rings)
set(dev_doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/vorlix-rings-dev)

set(programs rings_window rings_fullscreen rings_capture)
if(WIN32)
  install(TARGETS ${programs} RUNTIME DESTINATION . COMPONENT programs)
  # Which of the two builds this is, for the zip's name and its README.
  math(EXPR windows_bits "${CMAKE_SIZEOF_VOID_P} * 8")
  # Windows users read these in Notepad.
  configure_file(res/README-windows.txt README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(LICENSE LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt ${PROJECT_BINARY_DIR}/LICENSE.txt DESTINATION . COMPONENT programs)
else()
  install(TARGETS ${programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT programs)
  # Debian's record of the licence and the releases, in both packages' folders: the
  # copyright file in its machine-readable form around LICENSE's text, the
  # changelog compressed as Debian wants it.
  file(READ LICENSE licence)
  if(NOT licence MATCHES "^MIT License\n\nCopyright \\(c\\) ([^\n]+)\n\n(.*[^\n])\n*$")
    message(FATAL_ERROR "LICENSE is not the MIT licence with one copyright line")
  endif()
  set(licence_holder "${CMAKE_MATCH_1}")
  string(REPLACE "\n\n" "\n.\n" licence_text "${CMAKE_MATCH_2}")
  string(REPLACE "\n" "\n " licence_text " ${licence_text}")
  file(WRITE ${PROJECT_BINARY_DIR}/copyright
       "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
       "Upstream-Name: Vorlix Julia Rings\n\n"
       "Files: *\nCopyright: ${licence_holder}\nLicense: Expat\n${licence_text}\n")
  file(STRINGS res/changelog changelog_top LIMIT_COUNT 1)
  if(NOT changelog_top MATCHES "^vorlix-rings \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "res/changelog does not begin with release ${PROJECT_VERSION}: ${changelog_top}")
  endif()
  set(changelog ${PROJECT_BINARY_DIR}/changelog.gz)
  add_custom_command(OUTPUT ${changelog}
    COMMAND gzip -9n < ${PROJECT_SOURCE_DIR}/res/changelog > ${changelog}
    DEPENDS res/changelog)

  # The manual pages: rings_fullscreen's is rings_window's.
  set(man_pages "")
  foreach(page rings_window.1 rings_capture.1 rings_fullscreen.1)
    set(source ${PROJECT_SOURCE_DIR}/res/man/${page})
    if(EXISTS ${source}.in)
      configure_file(${source}.in man/${page} @ONLY)
      set(source ${PROJECT_BINARY_DIR}/man/${page})
    endif()
    set(man_page ${PROJECT_BINARY_DIR}/man/${page}.gz)
    add_custom_command(OUTPUT ${man_page} COMMAND gzip -9n < ${source} > ${man_page} DEPENDS ${source})
    list(APPEND man_pages ${man_page})
  endforeach()
  add_custom_target(package_documents ALL DEPENDS ${changelog} ${man_pages})
  install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT programs)

  install(FILES README.md LICENSE ${PROJECT_BINARY_DIR}/copyright ${changelog} DESTINATION ${doc_dir} COMPONENT programs)
  install(DIRECTORY docs/ DESTINATION ${doc_dir}/docs COMPONENT programs)  # where the README points
  install(FILES ${PROJECT_BINARY_DIR}/copyright ${changelog} DESTINATION ${dev_doc_dir} COMPONENT development)
  install(FILES examples/CMakeLists.txt examples/Makefile examples/bounce.cpp DESTINATION ${dev_doc_dir}/examples COMPONENT development)
  install(FILES res/vorlix-rings-window.desktop res/vorlix-rings-fullscreen.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT programs)
  # The icon theme's PNGs come from the tool that draws the programs' .ico; a tree
  # that cannot run it (a cross build) installs none.
  if(TARGET make_icon)
    set(icons "")
    foreach(size 16 24 32 48 64 128)
      set(icon ${PROJECT_BINARY_DIR}/icons/${size}x${size}/vorlix-rings.png)
      add_custom_command(OUTPUT ${icon}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/icons/${size}x${size}
        COMMAND make_icon --png ${size} ${icon}
        DEPENDS make_icon VERBATIM)
      install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
              COMPONENT programs)
      list(APPEND icons ${icon})
    endforeach()
    add_custom_target(desktop_icons ALL DEPENDS ${icons})
  endif()
endif()

# The display library. Each presentation links the converters and the platform
# layer, which needs a host: on Windows user32, elsewhere the stand-in's SDL2 host.
# Stand-in and host call each other, so the installed layer names the host as its
# dependency too: the linker then sees the host after the layer.
if(WIN32)
  set(display_host vorlix_platform_win32)
else()
  add_library(vorlix_display_host STATIC $<TARGET_OBJECTS:vorlix_platform_sdl>)
  # The host watches its X connection through Xlib itself.
  target_link_libraries(vorlix_display_host INTERFACE vorlix_platform $<INSTALL_INTERFACE:SDL2::SDL2>
                        $<INSTALL_INTERFACE:X11::X11>)
  set(display_host vorlix_display_host)
  install(FILES platform/include/crt.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vorlix_display COMPONENT development)
endif()
set_target_properties(${display_host} PROPERTIES EXPORT_NAME host)
target_link_libraries(vorlix_platform INTERFACE $<INSTALL_INTERFACE:VorlixDisplay::host>)
set_target_properties(vorlix_convert PROPERTIES EXPORT_NAME convert)
set_target_properties(vorlix_platform PROPERTIES EXPORT_NAME platform)
foreach(variant windowed fullscreen)
  set_target_properties(vorlix_display_${variant} PROPERTIES EXPORT_NAME ${variant})
  target_include_directories(vorlix_display_${variant} INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
endforeach()
install(TARGETS vorlix_display_windowed vorlix_display_fullscreen vorlix_convert vorlix_platform ${display_host}
        EXPORT VorlixDisplayTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
install(FILES display/display.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vorlix_display COMPONENT development)

set(package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/VorlixDisplay)
install(EXPORT VorlixDisplayTargets NAMESPACE VorlixDisplay:: DESTINATION ${package_dir} COMPONENT development)
configure_package_config_file(cmake/VorlixDisplayConfig.cmake.in VorlixDisplayConfig.cmake
                              INSTALL_DESTINATION ${package_dir})
write_basic_package_version_file(VorlixDisplayConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VorlixDisplayConfig.cmake ${PROJECT_BINARY_DIR}/VorlixDisplayConfigVersion.cmake
        DESTINATION ${package_dir} COMPONENT development)

# The same libraries for pkg-config, a file per presentation. Libs names the static
# archives in the linker's order, the stand-in and its host, which call each other,
# in a group (pkg-config folds the CMake package's repeated -l into one). The host's
# own libraries, SDL2 and Xlib, come through Requires.
if(NOT WIN32)
  set(pkgconfig_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
  file(RELATIVE_PATH pc_prefix /${pkgconfig_dir} /)
  string(REGEX REPLACE "/$" "" pc_prefix "${pc_prefix}")
  set(pc_where_windowed "in a window centred on the desktop")
  set(pc_where_fullscreen "full screen in a display mode")
  foreach(variant windowed fullscreen)
    set(pc_description "Vorlix Julia Rings' pixel-buffer display library, ${pc_where_${variant}}")
    set(pc_libs vorlix_display_${variant} vorlix_convert vorlix_platform ${display_host})
    list(TRANSFORM pc_libs REPLACE "^(.+)$" "-l$<TARGET_FILE_BASE_NAME:\\1>")
    list(INSERT pc_libs 2 -Wl,--start-group)
    string(JOIN " " pc_libs ${pc_libs} -Wl,--end-group)
    set(pc_file ${PROJECT_BINARY_DIR}/pkgconfig/vorlix-display-${variant}.pc)
    configure_file(cmake/vorlix-display.pc.in ${pc_file}.in @ONLY)
    file(GENERATE OUTPUT ${pc_file} INPUT ${pc_file}.in)
    install(FILES ${pc_file} DESTINATION ${pkgconfig_dir} COMPONENT development)
  endforeach()
endif()

set(CPACK_PACKAGE_CONTACT "${CPACK_PACKAGE_VENDOR} <developers@vorlix-rings.invalid>")
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win${windows_bits})
  # The zip is for people who want the demo: the library's files stay out.
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_COMPONENTS_ALL programs)
else()
  # The .tar.gz holds the whole install tree; the .deb is one package per
  # component: the programs for people who watch the demo, the library for
  # people who build on it.
  set(CPACK_GENERATOR DEB TGZ)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)

  set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME vorlix-rings)
  set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SECTION graphics)
  # dpkg-shlibdeps finds the run-time libraries the programs load (SDL2, libpng).
  set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SHLIBDEPS ON)
  string(JOIN "\n" CPACK_DEBIAN_PROGRAMS_DESCRIPTION
    "Julia set rings animated in real time, in a window or full screen"
    "Every frame moves the parameter c of a Julia set one degree along a closed"
    "curve and draws, at 320 x 240, how often and how closely each point's orbit"
    "passes through a thin ring around |z| = |c|: rings and filaments in pale"
    "blue, green and pink, flecked with white, on black."
    ""
    "rings_window shows the demo in a window, rings_fullscreen full screen; the"
    "title shows the frame rate and any key ends it. rings_capture renders the"
    "frames without a display, to PNG files or a raw stream for a video encoder.")

  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME vorlix-rings-dev)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
  # What the CMake package's targets find and link: SDL2 and Xlib.
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libsdl2-dev, libx11-dev")
  string(JOIN "\n" CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
    "pixel-buffer display library of Vorlix Julia Rings (development files)"
    "Three calls, display_open, display_update and display_close, show a 32-bit"
    "picture in a window or full screen, converted to the screen's pixel format;"
    "keys arrive through _kbhit and _getch. On Linux the library draws through"
    "SDL2."
    ""
    "This package holds the headers, the static libraries, the CMake package"
    "VorlixDisplay, with the imported targets VorlixDisplay::windowed and"
    "VorlixDisplay::fullscreen, the pkg-config files vorlix-display-windowed and"
    "vorlix-display-fullscreen, and an example program in"
    "/usr/share/doc/vorlix-rings-dev/examples.")
endif()
include(CPack)
