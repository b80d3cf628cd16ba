# The renderer's rounding in a WebAssembly module: every engine must round each
# operation once, so the build fails on any relaxed SIMD operation (whose results
# are the engine's choice) or fused multiply-add that binaryen's wasm-dis finds.
# Included, it gives check_wasm_opcodes(target); run with -DMODULE=file.wasm -P,
# it checks one module.
if(NOT CMAKE_SCRIPT_MODE_FILE)
  find_program(WASM_DIS wasm-dis REQUIRED)
  function(check_wasm_opcodes target)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -DWASM_DIS=${WASM_DIS}
              -DMODULE=$<TARGET_FILE_DIR:${target}>/$<TARGET_FILE_BASE_NAME:${target}>.wasm
              -P ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
      VERBATIM)
  endfunction()
  return()
endif()

# Every opcode of the relaxed set as wasm-dis names it (relaxed_*, laneselect and
# the i7 dot products), and any fused multiply-add or -subtract.
set(shapes "i8x16|i16x8|i32x4|i64x2|f32x4|f64x2|f32|f64")
set(banned "\\((${shapes})\\.[a-z0-9_]*(relaxed|laneselect|i7x16|fma|fms|madd)[a-z0-9_]*")
execute_process(COMMAND ${WASM_DIS} ${MODULE}
                COMMAND grep -Eo ${banned}
                OUTPUT_VARIABLE found RESULTS_VARIABLE results)
list(GET results 0 read)
list(GET results 1 matched)
if(NOT read EQUAL 0)
  message(FATAL_ERROR "wasm-dis cannot read ${MODULE}")
elseif(matched EQUAL 0)
  string(REGEX MATCHALL "[a-z0-9_.]+" found "${found}")
  list(REMOVE_DUPLICATES found)
  list(JOIN found ", " found)
  message(FATAL_ERROR "${MODULE} uses operations whose results are the engine's choice: ${found}")
elseif(NOT matched EQUAL 1)
  message(FATAL_ERROR "grep failed on the text of ${MODULE}")
endif()
