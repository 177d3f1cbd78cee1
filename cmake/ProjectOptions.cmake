# Compiler settings shared by every target of the project (not by third-party code).
add_library(zelquo_options INTERFACE)
target_compile_options(zelquo_options INTERFACE -Wall -Wextra -Werror -Wshadow -Wnon-virtual-dtor)
if(WIN32)
  # One .exe per program, with no runtime DLLs to ship beside it.
  target_link_options(zelquo_options INTERFACE -static -static-libgcc -static-libstdc++)
  target_compile_definitions(zelquo_options INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endif()
if(ZELQUO_SANITIZE)
  target_compile_options(zelquo_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer)
  target_link_options(zelquo_options INTERFACE -fsanitize=address,undefined)
endif()
