# Writes what a program prints to a file, failing when the program fails, so that a build step never leaves
# a half-written page: cmake -DOUTPUT=FILE -DPROGRAM=PATH -DARGS="A;B" -P capture.cmake
execute_process(COMMAND ${PROGRAM} ${ARGS} OUTPUT_FILE ${OUTPUT}.part RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    file(REMOVE ${OUTPUT}.part)
    message(FATAL_ERROR "${PROGRAM} ${ARGS} failed (${status})")
endif()
file(RENAME ${OUTPUT}.part ${OUTPUT})
