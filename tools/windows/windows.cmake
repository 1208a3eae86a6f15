# The Windows build (mingw-w64): the same game and sdl backend, linked
# statically into one valmoren.exe with its icon and version resource, a
# windowed program (no console). Included by the top-level CMakeLists.txt when
# the target is Windows; `make windows` (tools/windows/build.sh) drives it.

# The native run folder holding the generated data (read by the tests), and
# the icon made from the asset generator's icon art.
set(VALMOREN_WINDOWS_DATA "" CACHE PATH "Run folder of a native build holding the generated data")
set(VALMOREN_WINDOWS_ICON "" CACHE FILEPATH "The game's icon as a .ico file")
if(NOT EXISTS "${VALMOREN_WINDOWS_DATA}/img" OR NOT EXISTS "${VALMOREN_WINDOWS_ICON}")
  message(FATAL_ERROR "VALMOREN_WINDOWS_DATA must name a native run folder with the generated data and "
                      "VALMOREN_WINDOWS_ICON the game's .ico")
endif()

# SDL's flags for a program of its own making: SDL2main's WinMain, with main
# renamed to SDL_main (the game has its own main), and the windowed
# subsystem for everything that links SDL, the test program too. Only the
# game is windowed.
get_target_property(sdl_compile PkgConfig::SDL2 INTERFACE_COMPILE_OPTIONS)
if(sdl_compile)
  list(FILTER sdl_compile EXCLUDE REGEX "^-Dmain=")
  set_target_properties(PkgConfig::SDL2 PROPERTIES INTERFACE_COMPILE_OPTIONS "${sdl_compile}")
endif()
get_target_property(sdl_options PkgConfig::SDL2 INTERFACE_LINK_OPTIONS)
if(sdl_options)
  list(REMOVE_ITEM sdl_options -mwindows)
  set_target_properties(PkgConfig::SDL2 PROPERTIES INTERFACE_LINK_OPTIONS "${sdl_options}")
endif()
get_target_property(sdl_libraries PkgConfig::SDL2 INTERFACE_LINK_LIBRARIES)
list(FILTER sdl_libraries EXCLUDE REGEX "SDL2main")
set_target_properties(PkgConfig::SDL2 PROPERTIES INTERFACE_LINK_LIBRARIES "${sdl_libraries}")
# The player's folder (shell32's known folders, ole32 frees the name).
target_link_libraries(valmoren_core PUBLIC shell32 ole32)

string(TIMESTAMP VALMOREN_YEAR "%Y" UTC)
set(VALMOREN_WINDOWS_MANIFEST ${CMAKE_BINARY_DIR}/valmoren.manifest)
configure_file(${CMAKE_CURRENT_LIST_DIR}/valmoren.manifest.in ${VALMOREN_WINDOWS_MANIFEST} @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/valmoren.rc.in ${CMAKE_BINARY_DIR}/valmoren.rc @ONLY)
target_sources(valmoren PRIVATE ${CMAKE_BINARY_DIR}/valmoren.rc)
set_source_files_properties(${CMAKE_BINARY_DIR}/valmoren.rc PROPERTIES
  OBJECT_DEPENDS "${VALMOREN_WINDOWS_ICON};${VALMOREN_WINDOWS_MANIFEST}")
set_target_properties(valmoren PROPERTIES WIN32_EXECUTABLE ON RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
