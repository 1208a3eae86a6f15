# The browser build (emscripten): the same game and sdl backend, linked with
# ASYNCIFY so the game's blocking loops hand the browser its turns, the
# generated data preloaded into the program's file system at /data, and the
# player's files kept in IndexedDB. Included by the top-level CMakeLists.txt
# when the compiler is emscripten's; `make web` drives it.

# The native run folder whose generated data is preloaded, and where the
# program (valmoren.js, .wasm, .data) is written.
set(VALMOREN_WEB_DATA "" CACHE PATH "Run folder of a native build holding the generated data")
set(VALMOREN_WEB_OUT "${CMAKE_BINARY_DIR}" CACHE PATH "Folder the browser program is written to")
if(NOT EXISTS "${VALMOREN_WEB_DATA}/img" OR NOT EXISTS "${VALMOREN_WEB_DATA}/sounds")
  message(FATAL_ERROR "VALMOREN_WEB_DATA must name a run folder with the generated data (img/, sounds/)")
endif()

target_sources(valmoren_sdl PRIVATE ${CMAKE_SOURCE_DIR}/src/platform/sdl/sdl_web.cpp
  ${CMAKE_SOURCE_DIR}/src/platform/sdl/sdl_web_pad.cpp)
# Static libraries: libvorbisfile needs the codec and the Ogg framing after it.
pkg_check_modules(VORBISCODEC REQUIRED IMPORTED_TARGET vorbis ogg)
target_link_libraries(valmoren_core PUBLIC PkgConfig::VORBISCODEC)

# A program for the page: valmoren.js (the factory Valmoren), .wasm and .data
# written into `folder`.
function(valmoren_web_program target folder)
  set_target_properties(${target} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY "${folder}"
    OUTPUT_NAME valmoren
    SUFFIX ".js"
    # Relink when the data or the browser side of the backend changes.
    LINK_DEPENDS "${VALMOREN_WEB_DATA}/.assets-stamp;${CMAKE_SOURCE_DIR}/src/platform/sdl/sdl_web.js")
  target_link_options(${target} PRIVATE
    "SHELL:-s ASYNCIFY=1"
    # Room for the suspended call stack of the deepest wait (a level frame's).
    "SHELL:-s ASYNCIFY_STACK_SIZE=65536"
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
    "SHELL:-s ASYNCIFY_IMPORTS=valmoren_web_quick_turn,valmoren_web_mount_files"
    -lidbfs.js
    "SHELL:--js-library ${CMAKE_SOURCE_DIR}/src/platform/sdl/sdl_web.js"
    "SHELL:--preload-file ${VALMOREN_WEB_DATA}/img@/data/img"
    "SHELL:--preload-file ${VALMOREN_WEB_DATA}/sounds@/data/sounds"
    "SHELL:--preload-file ${VALMOREN_WEB_DATA}/suget.dat@/data/suget.dat")
  target_link_options(${target} PRIVATE -msimd128 -mbulk-memory)
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
