# PARLIX_SANITIZE=ON builds everything with AddressSanitizer and UndefinedBehaviorSanitizer.
option(PARLIX_SANITIZE "Build with ASan + UBSan" OFF)
if(PARLIX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
