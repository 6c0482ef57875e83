# Runs make-demo into WORK_DIR and requires the files it writes to equal those in EXAMPLES.
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${MAKE_DEMO} ${WORK_DIR} RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "make-demo ended with ${status}")
endif()
foreach(name demo.KZV Bitmaps/wood.bmp Bitmaps/checker.bmp)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK_DIR}/${name} ${EXAMPLES}/${name}
                    RESULT_VARIABLE differ)
    if(NOT differ EQUAL 0)
        message(FATAL_ERROR "examples/${name} is not what make-demo writes: run make-demo")
    endif()
endforeach()
