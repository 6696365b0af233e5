# SPDX-License-Identifier: Apache-2.0
# Part of the install step: removes the .comment section from the installed
# programs when the install strips them (as cpack does).
if(CMAKE_INSTALL_DO_STRIP)
    foreach(program IN LISTS korvane_programs)
        set(file "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${program}")
        if(EXISTS "${file}")
            execute_process(COMMAND "${korvane_objcopy}" --remove-section=.comment "${file}"
                            RESULT_VARIABLE failed)
            if(failed)
                message(FATAL_ERROR "objcopy could not strip ${file}")
            endif()
        endif()
    endforeach()
endif()
