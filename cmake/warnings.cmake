# Compiler warnings for every Parlix target; PARLIX_WERROR turns them into errors (CI).
option(PARLIX_WERROR "Treat warnings as errors" OFF)

add_library(parlix_warnings INTERFACE)
target_compile_options(parlix_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
  -Wcast-align -Woverloaded-virtual -Wformat=2)
if(PARLIX_WERROR)
  target_compile_options(parlix_warnings INTERFACE -Werror)
endif()
target_compile_definitions(parlix_warnings INTERFACE QT_NO_KEYWORDS QT_NO_URL_CAST_FROM_STRING
  QT_USE_QSTRINGBUILDER)
