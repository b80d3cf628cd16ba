# The WebAssembly tree: the two programs as pages in web/ (each page, its .js and
# its .wasm, an index linking them, the stylesheet and the icon), and CPack's zip of
# that folder, ready for any static web server. rings_capture.js stays in tools/,
# for node.
set(web_dir ${PROJECT_BINARY_DIR}/web)
set(web_sources ${PROJECT_SOURCE_DIR}/platform/browser/pages)

set(web_programs "")
foreach(program rings_window rings_fullscreen)
  if(TARGET ${program})
    list(APPEND web_programs ${program})
    set_target_properties(${program} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${web_dir}
      LINK_DEPENDS ${PROJECT_SOURCE_DIR}/platform/browser/host.js)
    set(PROGRAM ${program})
    configure_file(${web_sources}/program.html.in ${web_dir}/${program}.html @ONLY)
  endif()
endforeach()
configure_file(${web_sources}/index.html ${web_dir}/index.html COPYONLY)
configure_file(${web_sources}/page.css ${web_dir}/page.css COPYONLY)
configure_file(res/rings.ico ${web_dir}/favicon.ico COPYONLY)

set(web_pages index.html page.css favicon.ico)
foreach(program ${web_programs})
  list(APPEND web_pages ${program}.html ${program}.js ${program}.wasm)
endforeach()
list(TRANSFORM web_pages PREPEND ${web_dir}/)
install(FILES ${web_pages} DESTINATION . COMPONENT pages)

set(CPACK_PACKAGE_NAME vorlix-rings)
set(CPACK_PACKAGE_VENDOR "The Vorlix Julia Rings developers")
set(CPACK_GENERATOR ZIP)
set(CPACK_SYSTEM_NAME web)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
