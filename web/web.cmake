# The browser build (emscripten): the same game and sdl backend, linked with
# ASYNCIFY so the game's blocking loops hand the browser its turns, and the
# player's files kept in IndexedDB. The game's data is not linked in: the
# page fetches it in packs and the program waits for a file that has not
# arrived (tools/web/make_page.py, web/page.js). Included by the top-level
# CMakeLists.txt when the compiler is emscripten's; `make web` drives it.

# Where the program (valmoren.js, .wasm) is written.
set(VALMOREN_WEB_OUT "${CMAKE_BINARY_DIR}" CACHE PATH "Folder the browser program is written to")
# Function names kept in the program, for Chromium's profiler (the browser
# benchmark's profile, tools/web/web-bench.sh --profile); the code is the same.
option(VALMOREN_WEB_NAMES "Keep the function names in the browser program" OFF)

target_sources(valmoren_sdl PRIVATE ${CMAKE_SOURCE_DIR}/src/platform/sdl/sdl_web.cpp
  ${CMAKE_SOURCE_DIR}/src/platform/sdl/sdl_web_pad.cpp ${CMAKE_SOURCE_DIR}/src/platform/sdl/sdl_web_page.cpp)
# Static libraries: libvorbisfile needs the codec and the Ogg framing after it.
pkg_check_modules(VORBISCODEC REQUIRED IMPORTED_TARGET vorbis ogg)
target_link_libraries(valmoren_core PUBLIC PkgConfig::VORBISCODEC)

# A program for the page: valmoren.js (the factory Valmoren) and .wasm
# written into `folder`.
function(valmoren_web_program target folder)
  set_target_properties(${target} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY "${folder}"
    OUTPUT_NAME valmoren
    SUFFIX ".js"
    # Relink when the browser side of the backend changes.
    LINK_DEPENDS "${CMAKE_SOURCE_DIR}/src/platform/sdl/sdl_web.js")
  target_link_options(${target} PRIVATE
    "SHELL:-s ASYNCIFY=1"
    # Room for the suspended call stack of the deepest wait (a level frame's).
    "SHELL:-s ASYNCIFY_STACK_SIZE=65536"
    # The game waits through direct calls only (the waits of sdl_web.cpp and
    # the file system's fsync): what it calls through a pointer (the sound
    # callback, SDL's and Vorbis's own tables) never waits, and is left as
    # it is rather than made ready to suspend (a fifth less program).
    "SHELL:-s ASYNCIFY_IGNORE_INDIRECT=1"
    "SHELL:-s ALLOW_MEMORY_GROWTH=1"
    "SHELL:-s INITIAL_MEMORY=67108864"
    # The program ends (Exit, the victory): the page is told through onExit.
    "SHELL:-s EXIT_RUNTIME=1"
    # A factory the page calls on "Click to play", and again to play again.
    "SHELL:-s MODULARIZE=1"
    "SHELL:-s EXPORT_NAME=Valmoren"
    "SHELL:-s ENVIRONMENT=web"
    # The page forbids evaluating text as code (its Content-Security-Policy).
    "SHELL:-s DYNAMIC_EXECUTION=0"
    # The page reads the program's files (the frame log) and sets its
    # environment.
    "SHELL:-s EXPORTED_RUNTIME_METHODS=FS,ENV"
    "SHELL:-s ASYNCIFY_IMPORTS=valmoren_web_nap,valmoren_web_quick_turn,valmoren_web_mount_files,valmoren_web_data_wait"
    -lidbfs.js
    "SHELL:--js-library ${CMAKE_SOURCE_DIR}/src/platform/sdl/sdl_web.js")
    # The game's data is not linked in: the page fetches it in packs
    # (tools/web/make_page.py) and puts each file at /data as it arrives.
  target_link_options(${target} PRIVATE -msimd128 -mbulk-memory)
  if(VALMOREN_WEB_NAMES)
    target_link_options(${target} PRIVATE --profiling-funcs)
  endif()
endfunction()

valmoren_web_program(valmoren "${VALMOREN_WEB_OUT}")

# The browser test's level-5 program (tests/xvfb/level_start.cpp, the game
# started at level 5's set-up with its energy kept up, its state written to
# /tmp/level.txt), under the same page in level-start/; built by the test.
add_executable(valmoren_level_start_web EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/tests/xvfb/level_start.cpp)
target_link_libraries(valmoren_level_start_web PRIVATE valmoren_sdl)
valmoren_web_program(valmoren_level_start_web "${VALMOREN_WEB_OUT}/level-start")
target_link_options(valmoren_level_start_web PRIVATE
  "SHELL:--pre-js ${CMAKE_SOURCE_DIR}/tests/web/level_start_arguments.js")
set_property(TARGET valmoren_level_start_web APPEND PROPERTY
  LINK_DEPENDS "${CMAKE_SOURCE_DIR}/tests/web/level_start_arguments.js")

# Whole-page fills and copies (clear, show_frame) as single WebAssembly
# operations, and wider loops: they fall between one paced frame and the next.
target_compile_options(valmoren_core PRIVATE -msimd128 -mbulk-memory)
target_compile_options(valmoren_sdl PRIVATE -msimd128 -mbulk-memory)
