# Run by CTest (cmake -P): compiles a one-line file against each layer's
# include folder. A header of the layer itself must compile; a header of any
# layer above it must not be found.
#
#   -DCOMPILER=... -DINCLUDE_ROOT=<build>/include -DLAYERS="platform;notice;..."
#   -DHEADERS="platform/heap_block.h;..." (one per layer, in the same order)
#   -DWORK=<a folder of the test's own>
file(MAKE_DIRECTORY ${WORK})
list(LENGTH LAYERS count)
math(EXPR last "${count} - 1")
set(failures 0)
foreach(i RANGE ${last})
  list(GET LAYERS ${i} layer)
  foreach(j RANGE ${last})
    list(GET HEADERS ${j} header)
    set(probe ${WORK}/${layer}_${j}.cpp)
    file(WRITE ${probe} "#include \"${header}\"\n")
    execute_process(COMMAND ${COMPILER} -std=c++17 -fsyntax-only -I ${INCLUDE_ROOT}/${layer} ${probe}
                    RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
    if(j LESS_EQUAL i AND NOT result EQUAL 0)
      message(SEND_ERROR "${layer} cannot include its own or a lower layer's ${header}:\n${errors}")
      math(EXPR failures "${failures} + 1")
    elseif(j GREATER i AND result EQUAL 0)
      message(SEND_ERROR "${layer} includes ${header} of a layer above it")
      math(EXPR failures "${failures} + 1")
    endif()
  endforeach()
endforeach()
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} layer checks failed")
endif()
