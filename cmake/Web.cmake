# The web build (emcmake cmake): the core library and its tests, run under
# node, and the player for a browser page. Emscripten's own ports cannot be
# fetched here, so nothing below asks for SDL, libpng or zlib.
set(STAGWERK_WEB_FLAGS -fexceptions)
target_compile_options(stagwerk_core PUBLIC ${STAGWERK_WEB_FLAGS})
target_link_options(stagwerk_core PUBLIC ${STAGWERK_WEB_FLAGS} -sALLOW_MEMORY_GROWTH=1)

if(STAGWERK_TESTS)
  # GoogleTest from its sources, built by em++ without threads. Debian's
  # googletest package installs them under the system prefix's src/.
  find_path(STAGWERK_GOOGLETEST_SOURCE NAMES googletest/CMakeLists.txt PATH_SUFFIXES src/googletest
    PATHS ${CMAKE_SYSTEM_PREFIX_PATH} /usr/local /usr NO_CMAKE_FIND_ROOT_PATH
    DOC "GoogleTest's source tree (the folder holding googletest/ and googlemock/)")
  if(NOT STAGWERK_GOOGLETEST_SOURCE)
    message(FATAL_ERROR "GoogleTest's sources were not found: install Debian's googletest package or set STAGWERK_GOOGLETEST_SOURCE")
  endif()
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${STAGWERK_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(lib gtest gtest_main gmock)
    target_compile_options(${lib} PRIVATE ${STAGWERK_WEB_FLAGS})
  endforeach()
endif()

add_subdirectory(src/web)
if(STAGWERK_TESTS)
  enable_testing()
  add_subdirectory(tests)
endif()
