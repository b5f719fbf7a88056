# Flags every target of the project shares, through one interface target.
add_library(quillora_cfg INTERFACE)
add_library(quillora::cfg ALIAS quillora_cfg)
target_compile_features(quillora_cfg INTERFACE cxx_std_20)
target_compile_options(quillora_cfg INTERFACE
  -Wall -Wextra -Wpedantic -Werror
  $<$<CONFIG:Debug>:-D_GLIBCXX_ASSERTIONS>)

if(QUILLORA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer -D_GLIBCXX_ASSERTIONS)
  add_link_options(-fsanitize=address,undefined)
endif()
if(QUILLORA_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
if(QUILLORA_UNSIGNED_CHAR)
  add_compile_options(-funsigned-char)
endif()
