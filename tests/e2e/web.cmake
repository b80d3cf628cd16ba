# The WebAssembly tree: its lane tests and rings_capture.js under node, the latter
# against this tree's frames over the whole period, and both programs' pages in
# each of Debian's three browser engines, headless (WebKitGTK on a private Xvfb).
set(VORLIX_WEB_BUILD "" CACHE PATH "Build tree of the Emscripten build, for the browser tests")
if(VORLIX_WEB_BUILD AND NOT CMAKE_CROSSCOMPILING AND NOT VORLIX_SANITIZE)
  add_test(NAME web_render_fast_test COMMAND node ${VORLIX_WEB_BUILD}/tests/render_fast_test.js)
  set_tests_properties(web_render_fast_test PROPERTIES TIMEOUT 600)
  add_test(NAME web_capture_identical
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/cross_capture.sh WebAssembly $<TARGET_FILE:rings_capture>
            node ${VORLIX_WEB_BUILD}/tools/rings_capture.js 0-3600)
  set_tests_properties(web_capture_identical PROPERTIES TIMEOUT 600 LABELS e2e)

  # The browsers' drivers, from the npm registry at the versions the lockfile pins.
  set(web_test_modules ${CMAKE_CURRENT_BINARY_DIR}/web_test_modules)
  add_custom_command(OUTPUT ${web_test_modules}/node_modules/.package-lock.json
    COMMAND ${CMAKE_COMMAND} -E make_directory ${web_test_modules}
    COMMAND ${CMAKE_COMMAND} -E copy package.json package-lock.json ${web_test_modules}
    COMMAND npm ci --prefix ${web_test_modules} --no-audit --no-fund --loglevel=error
    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
    DEPENDS package.json package-lock.json VERBATIM)
  add_custom_target(web_test_modules ALL DEPENDS ${web_test_modules}/node_modules/.package-lock.json)
  foreach(engine chromium firefox webkit)
    add_test(NAME web_pages_${engine}
      COMMAND node ${CMAKE_CURRENT_SOURCE_DIR}/web_pages.js ${engine} ${VORLIX_WEB_BUILD}/web)
    # A browser is several processes, and the pace it keeps is measured: the machine
    # to itself.
    set_tests_properties(web_pages_${engine} PROPERTIES ENVIRONMENT NODE_PATH=${web_test_modules}/node_modules
                         PROCESSORS 2 TIMEOUT 600 LABELS e2e)
  endforeach()
endif()
