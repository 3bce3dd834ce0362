# Warnings are errors for the project's own targets; external headers come
# in as system includes and stay quiet.
function(melodeck_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast -Woverloaded-virtual -Werror)
endfunction()
