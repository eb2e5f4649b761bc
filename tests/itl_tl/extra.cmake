# The exported callbacks' header compiles as C (strict C99) as well.
add_test(NAME itl_tl_callbacks_header_c
         COMMAND ${CMAKE_C_COMPILER} -x c -std=c99 -pedantic-errors -Wall -Wextra
                 -Werror -fsyntax-only
                 ${PROJECT_SOURCE_DIR}/headers/itl_tl/itl_attribute_callbacks.h)
