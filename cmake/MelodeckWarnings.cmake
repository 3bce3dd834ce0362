# Warnings are errors for the project's own targets; external headers come
# in as system includes and stay quiet. Distribution packagers, whose newer
# compilers may warn about more, can turn the errors off.
option(MELODECK_WERROR "Treat compiler warnings as errors" ON)

function(melodeck_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast -Woverloaded-virtual)
  if(MELODECK_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
