# The web build (emcmake cmake): the core library and its tests, run under
# node, and the player for a browser page. Emscripten's own ports cannot be
# fetched here, so nothing below asks for SDL, libpng or zlib.
set(STAGWERK_WEB_FLAGS -fexceptions)
target_compile_options(stagwerk_core PUBLIC ${STAGWERK_WEB_FLAGS})
target_link_options(stagwerk_core PUBLIC ${STAGWERK_WEB_FLAGS} -sALLOW_MEMORY_GROWTH=1)

if(STAGWERK_TESTS)
  # GoogleTest from Debian's sources, built by em++ without threads.
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(lib gtest gtest_main gmock)
    target_compile_options(${lib} PRIVATE ${STAGWERK_WEB_FLAGS})
  endforeach()
  enable_testing()
  add_subdirectory(tests)
endif()

add_subdirectory(src/web)
