# add_unit_test(<name> SOURCES <files...> LIBRARIES <targets...> [GUI] [MICROPHONE]
#               [ENVIRONMENT <k=v>...] [TIMEOUT <s>])
# Builds one Qt Test executable and registers it with CTest. Every test gets a private
# HOME/XDG tree so that settings, autostart entries and data never touch the user's own.
# GUI tests run on the xcb platform (CI starts Xvfb and exports DISPLAY); others offscreen.
# GUI tests share one keyboard focus and clipboard, MICROPHONE tests one microphone: each
# group runs one test at a time even under ctest -j.
function(add_unit_test name)
  cmake_parse_arguments(T "GUI;MICROPHONE" "TIMEOUT" "SOURCES;LIBRARIES;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test parlix_warnings ${T_LIBRARIES})
  target_compile_definitions(${name} PRIVATE
    PARLIX_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
    PARLIX_TEST_SOURCE_DIR="${PROJECT_SOURCE_DIR}/tests")
  add_test(NAME ${name} COMMAND ${name})
  set(home ${CMAKE_BINARY_DIR}/test-homes/${name})
  file(MAKE_DIRECTORY ${home})
  if(T_GUI)
    set(platform xcb)
  else()
    set(platform offscreen)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=${platform};HOME=${home};XDG_CONFIG_HOME=${home}/.config;XDG_DATA_HOME=${home}/.local/share;XDG_CACHE_HOME=${home}/.cache;PARLIX_TEST_HOME=${home};${T_ENVIRONMENT}")
  if(T_GUI)
    set_property(TEST ${name} APPEND PROPERTY LABELS gui)
    set_property(TEST ${name} APPEND PROPERTY RESOURCE_LOCK desktop)
  endif()
  if(T_MICROPHONE)
    set_property(TEST ${name} APPEND PROPERTY RESOURCE_LOCK microphone)
  endif()
endfunction()
