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
  set_property(GLOBAL APPEND PROPERTY VX_MODULES vx_${M_NAME})
  set_property(GLOBAL PROPERTY VX_MODULE_DEPS_vx_${M_NAME} ${M_DEPS})
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

# vx_check_module_graph()
# Called once every module is declared: the modules' dependencies must
# form layers, so a module that depends on itself through others (two
# modules that need each other, or a longer ring) stops the configuration
# with the modules caught in it.
function(vx_check_module_graph)
  get_property(left GLOBAL PROPERTY VX_MODULES)
  foreach(m IN LISTS left)
    get_property(raw GLOBAL PROPERTY VX_MODULE_DEPS_${m})
    set(deps_${m})
    foreach(d IN LISTS raw)
      if(TARGET ${d})
        get_target_property(real ${d} ALIASED_TARGET)
        if(real)
          set(d ${real})
        endif()
      endif()
      if(d IN_LIST left)
        list(APPEND deps_${m} ${d})
      endif()
    endforeach()
  endforeach()
  # Peel off the modules whose dependencies are all peeled already.
  set(progress TRUE)
  while(left AND progress)
    set(progress FALSE)
    set(next)
    foreach(m IN LISTS left)
      set(waiting FALSE)
      foreach(d IN LISTS deps_${m})
        if(d IN_LIST left)
          set(waiting TRUE)
          break()
        endif()
      endforeach()
      if(waiting)
        list(APPEND next ${m})
      else()
        set(progress TRUE)
      endif()
    endforeach()
    set(left ${next})
  endwhile()
  if(left)
    string(REPLACE ";" ", " names "${left}")
    message(FATAL_ERROR "Modules depend on each other in a ring (or on such a ring): ${names}")
  endif()
endfunction()
