# Compiler settings shared by every target of ours, in one interface target.
add_library(kestrelo_warnings INTERFACE)
target_compile_options(kestrelo_warnings INTERFACE -Wall -Wextra -Werror)

if(KESTRELO_SANITIZE)
  add_compile_options(-fsanitize=${KESTRELO_SANITIZE} -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${KESTRELO_SANITIZE})
endif()

# Adds a program that belongs in the program folder.
function(kestrelo_program name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE kestrelo_core kestrelo_warnings)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KESTRELO_PROGRAM_DIR})
endfunction()
