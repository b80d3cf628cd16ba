# The WebAssembly tree: the two programs as pages in web/, with their loader, an
# index, the stylesheet and the icons, and CPack's zip of that folder for any static
# web server. rings_capture.js stays in tools/, for node.
set(web_dir ${PROJECT_BINARY_DIR}/web)
set(web_sources ${PROJECT_SOURCE_DIR}/platform/browser/pages)

foreach(program rings_window rings_fullscreen)
  set_target_properties(${program} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${web_dir}
    LINK_DEPENDS ${PROJECT_SOURCE_DIR}/platform/browser/host.js)
  set(PROGRAM ${program})
  configure_file(${web_sources}/program.html.in ${web_dir}/${program}.html @ONLY)
  configure_file(${web_sources}/program.webmanifest.in ${web_dir}/${program}.webmanifest @ONLY)
endforeach()
foreach(file index.html page.css load.js)
  configure_file(${web_sources}/${file} ${web_dir}/${file} COPYONLY)
endforeach()
configure_file(res/rings.ico ${web_dir}/favicon.ico COPYONLY)
configure_file(res/rings-192.png ${web_dir}/rings-192.png COPYONLY)
install(DIRECTORY ${web_dir}/ DESTINATION . COMPONENT pages)

set(CPACK_GENERATOR ZIP)
set(CPACK_SYSTEM_NAME web)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
