# Helpers shared by every module's CMakeLists.txt.

# Compiler warnings for our own code: errors, always.
# (-Wrestrict is left out: GCC 12 reports false positives inside
# libstdc++'s std::string at -O2, e.g. assigning a literal.)
function(vx_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror
    -Wno-unused-parameter -Wno-missing-field-initializers -Wno-restrict)
endfunction()

# vx_module(NAME name SOURCES ... [DEPS ...] [PLATFORM ...])
# Declares the library of one module folder.  Its headers are reached by
# their bare names, and only by targets that link the module, so that a
# dependency in the wrong direction fails to compile.
function(vx_module)
  cmake_parse_arguments(M "" "NAME" "SOURCES;DEPS;PLATFORM" ${ARGN})
  if(M_SOURCES)
    add_library(vx_${M_NAME} STATIC ${M_SOURCES})
    target_include_directories(vx_${M_NAME} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(vx_${M_NAME} PUBLIC ${M_DEPS} ${M_PLATFORM})
    vx_warnings(vx_${M_NAME})
  else()
    add_library(vx_${M_NAME} INTERFACE)
    target_include_directories(vx_${M_NAME} INTERFACE ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(vx_${M_NAME} INTERFACE ${M_DEPS} ${M_PLATFORM})
  endif()
endfunction()

