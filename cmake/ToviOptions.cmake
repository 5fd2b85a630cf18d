# Compiler settings shared by every target of the project: warnings and sanitizers.
add_library(tovi_build_options INTERFACE)
target_compile_options(tovi_build_options INTERFACE -Wall -Wextra)
if(TOVI_WERROR)
  target_compile_options(tovi_build_options INTERFACE -Werror)
endif()

if(TOVI_SANITIZE)
  set(_tovi_san -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_compile_options(tovi_build_options INTERFACE ${_tovi_san})
  target_link_options(tovi_build_options INTERFACE -fsanitize=address,undefined)
endif()
