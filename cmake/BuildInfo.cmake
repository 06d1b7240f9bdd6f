# What the program and its desktop files say about themselves, written
# into generated/BuildInfo.h for the sources and into the desktop files, so
# that the two always agree.
set(TARNWICK_APP_NAME "Tarnwick")
set(TARNWICK_DESKTOP_ID "org.example.tarnwick")

# The build's name, shown beside the version: `git describe --always
# --dirty` when the sources are a git checkout of their own, else the
# project's version. Worked out when the build is configured; a commit or
# a checkout configures again (the reflog of HEAD is a configure input), so
# the name follows the history without being worked out at every build.
set(TARNWICK_BUILD "${PROJECT_VERSION}")
find_package(Git QUIET)
if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --show-toplevel --absolute-git-dir
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    RESULT_VARIABLE _git_rc OUTPUT_VARIABLE _git_out ERROR_QUIET
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(_git_rc EQUAL 0)
        string(REPLACE "\n" ";" _git_out "${_git_out}")
        list(GET _git_out 0 _git_top)
        list(GET _git_out 1 _git_dir)
        file(REAL_PATH "${_git_top}" _git_top)
        file(REAL_PATH "${PROJECT_SOURCE_DIR}" _source_top)
        # Sources unpacked inside some other repository are not a checkout
        # of their own: that repository's describe would name the wrong thing.
        if(_git_top STREQUAL _source_top)
            execute_process(COMMAND ${GIT_EXECUTABLE} describe --always --dirty
                            WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                            RESULT_VARIABLE _describe_rc OUTPUT_VARIABLE _describe
                            ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
            if(_describe_rc EQUAL 0 AND NOT _describe STREQUAL "")
                # A tag name may hold characters a C string or a line of
                # text should not carry.
                string(REGEX REPLACE "[^A-Za-z0-9._+~-]" "_" TARNWICK_BUILD "${_describe}")
            endif()
            if(EXISTS "${_git_dir}/logs/HEAD")
                set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_git_dir}/logs/HEAD")
            endif()
        endif()
    endif()
endif()
message(STATUS "Tarnwick ${PROJECT_VERSION}, build ${TARNWICK_BUILD}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/BuildInfo.h.in
               ${CMAKE_BINARY_DIR}/generated/BuildInfo.h @ONLY)
