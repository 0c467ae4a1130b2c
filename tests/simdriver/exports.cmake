# Fails unless the library's exported symbols are exactly those expected: a stand-in for a C
# vendor library exports its C functions, and nothing a test or the simulator uses within.
#   cmake -DNM=nm -DLIBRARY=... -DEXPECTED=name,name,... -P exports.cmake
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY} OUTPUT_VARIABLE listing RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^ \n]+\n" lines "${listing}")
set(exported "")
foreach(line ${lines})
    string(STRIP "${line}" name)
    list(APPEND exported ${name})
endforeach()
list(SORT exported)
string(REPLACE "," ";" expected "${EXPECTED}")
list(SORT expected)
if(NOT exported STREQUAL expected)
    message(FATAL_ERROR "${LIBRARY} exports\n  ${exported}\nnot\n  ${expected}")
endif()
