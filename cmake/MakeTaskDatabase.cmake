# Makes an empty task database in the program folder unless one is there.
if(NOT EXISTS "${HOME_DIR}/Tarnwick.dat")
    execute_process(COMMAND ${CMAKE_COMMAND} -E env TARNWICK_HOME=${HOME_DIR} ${CLI} init
                    RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "tarnwick-cli init failed (${rc})")
    endif()
endif()
