# The release's install rules and the Debian packages of the Linux programs (CPack):
#   camview           the desktop viewer
#   camview-recorder  the recorder simulator
#   camview-gateway   the gateway with the page's files from the WebAssembly build
# each with its manual page. scripts/dist builds the target `dist_programs` and runs cpack; the
# Windows modules are packed into zips by scripts/dist-pack from the dist-mingw builds.
if(NOT CAMVIEW_DIST OR WIN32)
  return()
endif()

# Dates in the packages come from the last commit, so the same tree gives the same bytes.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(camview_epoch $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git -C ${PROJECT_SOURCE_DIR} log -1 --format=%ct
                  OUTPUT_VARIABLE camview_epoch OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
  if(failed)
    set(camview_epoch 0)
  endif()
endif()

set(CAMVIEW_WASM_WEB_DIR ${PROJECT_SOURCE_DIR}/build/wasm/web CACHE PATH
    "The WebAssembly build's page files that the gateway package installs")
find_package(Python3 REQUIRED COMPONENTS Interpreter)

# program (also its package and install component) | summary for the manual page and the
# package | the package's longer description
set(camview_programs
    "camview|desktop viewer for networked video recorders|Shows the pictures of recorder connections, one viewer per camera, in an X11 window, or writes what it would show to PNG files without a window."
    "camview-recorder|recorder simulator serving the camview recorder protocol|Serves the recorder protocol on a TCP port with a live test pattern or PNG images, and can inject faults, for trying and testing the viewers."
    "camview-gateway|web gateway relaying video recorders to browsers|Serves the camera page with the viewer compiled to WebAssembly and relays the named recorders to browsers over WebSocket, one recorder connection per watched camera.")
set(man_folder ${CMAKE_BINARY_DIR}/man)
file(MAKE_DIRECTORY ${man_folder})
add_custom_target(dist_programs)
set(packaged "")
foreach(entry ${camview_programs})
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 program)
  list(GET entry 1 summary)
  list(GET entry 2 details)
  if(NOT TARGET ${program})
    message(FATAL_ERROR "${program} is not built here (missing libraries?): it cannot be packaged")
  endif()
  set(page ${man_folder}/${program}.1.gz)
  add_custom_command(
    OUTPUT ${page}
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/packaging/manpage.py --program $<TARGET_FILE:${program}>
            --name ${program} --summary ${summary} --version ${PROJECT_VERSION} --epoch ${camview_epoch}
            --output ${page}
    DEPENDS ${program} ${PROJECT_SOURCE_DIR}/packaging/manpage.py
    COMMENT "Manual page of ${program}"
    VERBATIM)
  add_custom_target(${program}_manpage DEPENDS ${page})
  add_dependencies(dist_programs ${program} ${program}_manpage)

  install(TARGETS ${program} RUNTIME DESTINATION bin COMPONENT ${program})
  install(FILES ${page} DESTINATION share/man/man1 COMPONENT ${program})
  string(TOUPPER ${program} upper)
  set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${program})
  set(CPACK_DEBIAN_${upper}_DESCRIPTION "${summary}\n${details}")
  list(APPEND packaged ${program})
endforeach()

# The gateway serves the page's files from /usr/share/camview-gateway/web (its default web root
# in this build, CAMVIEW_GATEWAY_WEB_ROOT); without them its page cannot load the viewer.
install(DIRECTORY ${CAMVIEW_WASM_WEB_DIR}/ DESTINATION share/camview-gateway/web COMPONENT camview-gateway
        FILES_MATCHING PATTERN "camview-*.js" PATTERN "camview-*.wasm" PATTERN "camview-*.css")
if(NOT CAMVIEW_GATEWAY_WEB_ROOT STREQUAL "/usr/share/camview-gateway/web")
  message(WARNING "the packaged gateway looks for its page in ${CAMVIEW_GATEWAY_WEB_ROOT}, not where the package puts it")
endif()
if(EXISTS ${PROJECT_SOURCE_DIR}/deploy/camview-gateway.service)
  install(FILES ${PROJECT_SOURCE_DIR}/deploy/camview-gateway.service DESTINATION lib/systemd/system
          COMPONENT camview-gateway)
endif()

# `install` and CPack build only what they install (dist_programs), not every target.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME camview)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "camview")
# Each package's Description is its own CPACK_DEBIAN_<PACKAGE>_DESCRIPTION (no shared summary line).
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL ${packaged})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "camview developers <camview@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends: from the libraries the programs link (libpng, libX11, libstdc++ ...).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)

if(EXISTS ${PROJECT_SOURCE_DIR}/tests/dist/CMakeLists.txt)
  enable_testing()
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/dist ${CMAKE_BINARY_DIR}/tests/dist)
endif()
