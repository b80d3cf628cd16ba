# WebAssembly for browsers and node, with Debian's Emscripten (the emscripten
# package): its compiler driver and its own platform file, with no downloads at
# build time (its "ports" are never used).
#
# wasm32 rather than the x86 its platform file names by default: nothing here may
# take the build for an x87 machine.
set(EMSCRIPTEN_SYSTEM_PROCESSOR wasm32)
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

# em++'s JavaScript optimizer needs Debian's acorn module, which a node that is not
# Debian's (NodeSource's, say) does not find by itself. Compiling and linking run
# through a launcher that names where it is.
set(vorlix_node_path NODE_PATH=/usr/share/nodejs)
set(CMAKE_CXX_COMPILER_LAUNCHER ${CMAKE_COMMAND} -E env ${vorlix_node_path})
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env ${vorlix_node_path})
