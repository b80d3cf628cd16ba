# Installation and packaging. On Linux: the programs, their desktop entries and
# icons, the documents, and the display library as the CMake package VorlixDisplay;
# CPack makes a .deb and a .tar.gz of that tree. On Windows: a folder of the three
# executables with a README.txt and LICENSE.txt, zipped by CPack.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# A tree without the renderer (a cross build that cannot draw frames yet) installs
# the display library alone.
set(programs "")
foreach(program rings_window rings_fullscreen rings_capture)
  if(TARGET ${program})
    list(APPEND programs ${program})
  endif()
endforeach()
if(WIN32)
  install(TARGETS ${programs} RUNTIME DESTINATION . COMPONENT programs)
  # Windows users read these in Notepad.
  configure_file(res/README-windows.txt README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(LICENSE LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt ${PROJECT_BINARY_DIR}/LICENSE.txt DESTINATION . COMPONENT programs)
else()
  if(programs)
    install(TARGETS ${programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT programs)
  endif()
  install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT programs)
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
  set(display_host vorlix_platform_sdl)
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

# Debian package names take no underscores.
set(CPACK_PACKAGE_NAME vorlix-rings)
set(CPACK_PACKAGE_VENDOR "The Vorlix Julia Rings developers")
set(CPACK_PACKAGE_CONTACT "The Vorlix Julia Rings developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Real-time Julia set rings demo and its pixel-buffer display library")
set(CPACK_PACKAGE_DESCRIPTION
    "Glowing red, orange and white orbit rings of an animated Julia set, at 320 x 240, in a window "
    "(rings_window) or full screen (rings_fullscreen), and rings_capture, which renders the frames "
    "to PNG files or a raw stream. With the headers, archives and CMake package of the display "
    "library the demo draws through.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win32)
  # The zip is for people who want the demo: the library's files stay out.
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_COMPONENTS_ALL programs)
else()
  set(CPACK_GENERATOR DEB TGZ)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  # dpkg-shlibdeps finds the run-time libraries the programs load (SDL2, libpng).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
include(CPack)
