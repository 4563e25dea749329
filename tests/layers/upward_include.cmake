# Run by CTest (cmake -P): compiles a one-line file against each layer's
# include folder. A header of the layer itself must compile; a header of any
# layer above it must not be found.
#
#   -DCOMPILER=... -DINCLUDE_ROOT=<build>/include -DLAYERS="platform;notice;..."
#   -DHEADERS="platform/heap_block.h;..." (one per layer, in the same order)
#   -DWORK=<a folder of the test's own>
#   -DSIDEWAYS="web>cli/progress_bar.h;..." (optional) pairs of a folder and
#   a header it must not find, although the header's own front end builds it:
#   a front end reaching into another, or the run service into a front end.
#   -DOWNERS="cli>cli/progress_bar.h;..." the folders that do build them.
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
# Compiles header against the include folder; sets ok in the caller.
function(probe_header folder header name)
  set(probe ${WORK}/${name}.cpp)
  file(WRITE ${probe} "#include \"${header}\"\n")
  execute_process(COMMAND ${COMPILER} -std=c++17 -fsyntax-only -I ${INCLUDE_ROOT}/${folder} ${probe}
                  RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
  if(result EQUAL 0)
    set(ok TRUE PARENT_SCOPE)
  else()
    set(ok FALSE PARENT_SCOPE)
  endif()
  set(errors "${errors}" PARENT_SCOPE)
endfunction()
set(n 0)
foreach(pair IN LISTS OWNERS)
  string(REPLACE ">" ";" pair "${pair}")
  list(GET pair 0 folder)
  list(GET pair 1 header)
  probe_header(${folder} ${header} owner_${n})
  if(NOT ok)
    message(SEND_ERROR "${folder} cannot include its own ${header}:\n${errors}")
    math(EXPR failures "${failures} + 1")
  endif()
  math(EXPR n "${n} + 1")
endforeach()
foreach(pair IN LISTS SIDEWAYS)
  string(REPLACE ">" ";" pair "${pair}")
  list(GET pair 0 folder)
  list(GET pair 1 header)
  probe_header(${folder} ${header} sideways_${n})
  if(ok)
    message(SEND_ERROR "${folder} includes ${header}, which is not its own nor of a layer below it")
    math(EXPR failures "${failures} + 1")
  endif()
  math(EXPR n "${n} + 1")
endforeach()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} layer checks failed")
endif()
