# WebAssembly through Debian's emscripten. Its optimiser runs on node and needs acorn from
# /usr/share/nodejs (the link steps get that path); its runtime loads .wasm files under
# node 20 only without the experimental fetch, so programs run as `node --no-experimental-fetch`.
set(ENV{NODE_PATH} /usr/share/nodejs)
set(CMAKE_CROSSCOMPILING_EMULATOR "/usr/bin/node;--no-experimental-fetch" CACHE STRING "" FORCE)
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
