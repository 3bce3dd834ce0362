if(MELODECK_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
  # Under the sanitizers, timing-sensitive code runs slower; tests may read this.
  add_compile_definitions(MELODECK_SANITIZED=1)
endif()
