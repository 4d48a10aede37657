# Compiler warnings and sanitizers shared by every target of the project.
function(zema_apply_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4)
    if(ZEMA_WERROR)
      target_compile_options(${target} PRIVATE /WX)
    endif()
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
                                              -Wnon-virtual-dtor -Wcast-align)
    if(ZEMA_WERROR)
      target_compile_options(${target} PRIVATE -Werror)
    endif()
  endif()
endfunction()

if(ZEMA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Coverage for libFuzzer in every target, with the sanitizers of the asan
# build; only the fuzz programs link libFuzzer itself (tests/fuzz).
if(ZEMA_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
