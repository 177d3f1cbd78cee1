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
if(ZELQUO_SANITIZE_THREAD)
  target_compile_options(zelquo_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(zelquo_options INTERFACE -fsanitize=thread)
endif()
if(ZELQUO_FUZZ)
  # Coverage for the fuzzer in every library; the fuzz targets link libFuzzer's own main.
  target_compile_options(zelquo_options INTERFACE -fsanitize=fuzzer-no-link)
endif()

# Linked into the shipped Linux programs only: the C++ runtime built in, so that a start loads
# nothing but the C library (a one-shot pass is mostly start-up). Sanitizer builds keep the
# shared runtime their interceptors expect.
add_library(zelquo_program_options INTERFACE)
if(NOT WIN32 AND NOT ZELQUO_SANITIZE AND NOT ZELQUO_SANITIZE_THREAD AND NOT ZELQUO_FUZZ)
  target_link_options(zelquo_program_options INTERFACE -static-libstdc++ -static-libgcc -Wl,-z,relro,-z,now)
  # Checked buffer functions throughout, as Debian builds its packages.
  target_compile_definitions(zelquo_options INTERFACE _FORTIFY_SOURCE=2)
endif()
