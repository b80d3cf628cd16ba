# The Windows executables under Wine, from the cross-built trees: the 32-bit tree's
# tests as they always were named, the 64-bit tree's with wine64_. Each runs where
# its Wine can and is skipped, saying why, where it cannot (a kernel without 32-bit
# code; wine32 that could not be installed, as the Makefile notes in the tree).
set(VORLIX_WINDOWS_BUILD "" CACHE PATH "Build tree of the 32-bit mingw-w64 cross build, for the Wine tests")
set(VORLIX_WINDOWS64_BUILD "" CACHE PATH "Build tree of the 64-bit mingw-w64 cross build, for the Wine tests")
set(windows_trees "")
if(NOT VORLIX_SANITIZE)
  foreach(tree VORLIX_WINDOWS_BUILD VORLIX_WINDOWS64_BUILD)
    if(${tree})
      list(APPEND windows_trees ${${tree}})
    endif()
  endforeach()
endif()
# Where make windows notes why wine32 could not be installed, for the skips to say.
set(wine32_note WINE32_NOTE=${VORLIX_WINDOWS_BUILD}/wine32-not-installed)
# A Wine test skips when its script exits with 77.
function(wine_test_skips name)
  set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
  set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT ${wine32_note})
endfunction()
foreach(exe IN LISTS windows_trees)
  if(exe STREQUAL VORLIX_WINDOWS64_BUILD)
    set(wine wine64)
    set(width _win64)
  else()
    set(wine wine)
    set(width "")
  endif()
  add_test(NAME ${wine}_capture_identical
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wine_capture.sh $<TARGET_FILE:rings_capture> ${exe}/tools/rings_capture.exe)
  set_tests_properties(${wine}_capture_identical PROPERTIES TIMEOUT 600 LABELS e2e)
  wine_test_skips(${wine}_capture_identical)
  if(wine STREQUAL wine64)
    # With the x87 left at the 53-bit precision of 64-bit Windows, still the same frames.
    add_test(NAME wine64_capture_x87_53bit_identical
      COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wine_capture.sh $<TARGET_FILE:rings_capture>
              ${exe}/tools/rings_capture_x87_53bit.exe)
    set_tests_properties(wine64_capture_x87_53bit_identical PROPERTIES TIMEOUT 600 LABELS e2e)
  endif()
  foreach(program rings_window rings_fullscreen)
    add_test(NAME ${program}${width}_icon COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/icon_check.sh ${exe}/${program}.exe)
  endforeach()
  foreach(run
      "window_runs --program ${exe}/rings_window.exe --title --picture"
      "window_closes --program ${exe}/rings_window.exe --end close"
      "window_16bit --program ${exe}/rings_window.exe --screen 1024x768x16 --title --picture"
      "window_palette_refused --program ${exe}/rings_window.exe --screen 1024x768x8 --end none --status -1"
      "fullscreen_24bit --program ${exe}/rings_fullscreen.exe --screen 320x240x24 --title --picture"
      "fullscreen_16bit --program ${exe}/rings_fullscreen.exe --screen 320x240x16 --picture"
      "fullscreen_no_mode --program ${exe}/rings_fullscreen.exe --screen 1024x768x24 --end none --status -1")
    separate_arguments(run)
    list(POP_FRONT run name)
    add_e2e_test(${wine}_${name} --wine ${run})
    wine_test_skips(${wine}_${name})
  endforeach()
endforeach()
