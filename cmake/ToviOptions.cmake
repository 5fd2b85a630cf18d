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

if(TOVI_TSAN)
  if(TOVI_SANITIZE)
    message(FATAL_ERROR "TOVI_TSAN and TOVI_SANITIZE cannot be combined")
  endif()
  target_compile_options(tovi_build_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(tovi_build_options INTERFACE -fsanitize=thread)
endif()

# Code that ships (the core, the driver framework, the modules): calls into other
# shared objects go straight through the GOT, not through a PLT stub. One
# instruction less per call, on every fetched row and executed statement.
add_library(tovi_library_options INTERFACE)
target_compile_options(tovi_library_options INTERFACE -fno-plt)
