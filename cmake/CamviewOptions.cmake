# Compiler settings shared by every target.
add_compile_options(-Wall -Wextra -Wno-unused-parameter)
option(CAMVIEW_WERROR "Treat warnings as errors (every preset sets it: CI builds warning-free)" OFF)
if(CAMVIEW_WERROR)
  add_compile_options(-Werror)
endif()
# Decoded pixels must be identical on every platform we build: no fused multiply-add,
# and SSE arithmetic instead of x87 extended precision on i686.
add_compile_options(-ffp-contract=off)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "i.86" OR CAMVIEW_TARGET_I686)
  add_compile_options(-msse2 -mfpmath=sse)
endif()

set(CAMVIEW_SANITIZE "" CACHE STRING "Sanitizers: empty, 'address' (ASan+UBSan) or 'thread' (TSan)")
if(CAMVIEW_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(CAMVIEW_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# Fuzz builds instrument every library, so the fuzz targets see the coverage and the faults
# of all the code they reach; only the targets themselves link libFuzzer's main.
if(CAMVIEW_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(WIN32)
  # Self-contained Windows binaries: no libgcc, libstdc++ or winpthread DLLs beside them.
  add_link_options(-static -static-libgcc -static-libstdc++)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  # Resource scripts (version blocks, fonts, dialogs): enabled once for the whole tree.
  enable_language(RC)
endif()

# Adds every subfolder of the current folder that has a CMakeLists.txt, in name order: each is
# one independent piece (a tool, a host, a benchmark or test area).
# With OWN_HEADERS each piece sees its own folder's headers only (camview_area_headers), not
# those of the pieces beside it.
function(camview_add_subfolders)
  cmake_parse_arguments(S "OWN_HEADERS" "" "" ${ARGN})
  file(GLOB parts LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT parts)
  get_directory_property(includes INCLUDE_DIRECTORIES)
  foreach(part ${parts})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${part} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${part}/CMakeLists.txt)
      if(S_OWN_HEADERS) # a subfolder takes the include folders its parent has when it is added
        file(RELATIVE_PATH area ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/${part})
        camview_area_headers(${area})
      endif()
      add_subdirectory(${part})
      set_directory_properties(PROPERTIES INCLUDE_DIRECTORIES "${includes}")
    endif()
  endforeach()
endfunction()

# An include folder `root` holding a link named `area` (e.g. "tools/cli") to that source folder.
function(camview_link_area root area)
  if(NOT EXISTS ${root}/${area})
    get_filename_component(parent ${root}/${area} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${area} ${root}/${area} SYMBOLIC)
  endif()
endfunction()

# Programs, tests, tools and benchmarks include their own headers as "area/Header.h" too, and
# every other header through the libraries they link: the targets of the calling folder (and of
# its subfolders) see the headers of `area` and nothing else of the tree.
function(camview_area_headers area)
  string(REPLACE "/" "." name ${area})
  set(root ${CMAKE_BINARY_DIR}/include/area.${name})
  camview_link_area(${root} ${area})
  include_directories(${root})
endfunction()

# Headers are included as "area/Header.h". A library makes its area's headers visible only to
# itself and to what links it: the include folder it adds holds nothing but a link named after
# its area. So the build enforces the layering (hosts -> presentation -> engine, decoder,
# pixkit -> platform): a layer cannot include a header of a layer it does not link.
function(camview_public_headers target area)
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  camview_link_area(${root} ${area})
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY") # header-only: nothing of its own to compile
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()

# Windows programs that run the viewer outside the control (test suites, benchmarks) carry its
# fonts as the control does: "FONTS" resources 201 to 208 of the module. Writes a resource
# script naming them and sets `out` to its path, to be added to the program's sources.
function(camview_font_resources out)
  set(script ${CMAKE_CURRENT_BINARY_DIR}/ViewerFonts.rc)
  file(WRITE ${script} "")
  foreach(id 201 202 203 204 205 206 207 208)
    file(APPEND ${script} "${id} FONTS \"${PROJECT_SOURCE_DIR}/resources/fonts/font${id}.bin\"\n")
  endforeach()
  set(${out} ${script} PARENT_SCOPE)
endfunction()
