# PARLIX_FUZZ=ON (preset `fuzz`, clang only) builds every library with ASan + UBSan and
# libFuzzer's coverage hooks, and the fuzz/ targets with the libFuzzer driver.
option(PARLIX_FUZZ "Build the libFuzzer targets in fuzz/" OFF)
if(PARLIX_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "PARLIX_FUZZ needs clang (cmake --preset fuzz)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
    -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
