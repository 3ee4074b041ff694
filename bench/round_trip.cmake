# Generates 1 MiB mods and checks that torvale-cli assemble gives each back
# byte for byte, that a seed always gives the same bytes, and that the file
# holds what the generator says it wrote.
#
# cmake -DGENERATOR=... -DCLI=... -DFORUM_DIR=... -DWORK_DIR=... -P round_trip.cmake
foreach(var GENERATOR CLI FORUM_DIR WORK_DIR)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "${var} is not set")
    endif()
endforeach()
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")

function(generate out seed forum)
    execute_process(COMMAND "${GENERATOR}" 1 "${WORK_DIR}/${out}" ${seed} "${forum}"
        RESULT_VARIABLE rc OUTPUT_VARIABLE report ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "generator failed (${rc}): ${err}")
    endif()
    set(report "${report}" PARENT_SCOPE)
endfunction()

function(check_round_trip name)
    execute_process(COMMAND "${CLI}" assemble "${WORK_DIR}/${name}"
        RESULT_VARIABLE rc OUTPUT_FILE "${WORK_DIR}/${name}.out" ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${name}: torvale-cli did not read it completely (${rc}): ${err}")
    endif()
    execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files
        "${WORK_DIR}/${name}" "${WORK_DIR}/${name}.out" RESULT_VARIABLE differ)
    if(differ)
        message(FATAL_ERROR "${name}: assembling the generated mod changed its bytes")
    endif()
endfunction()

# The generator's counts must be those of the file: a text that dropped or
# merged blocks could still read back to itself.
function(check_counts name report)
    file(SIZE "${WORK_DIR}/${name}" size)
    if(size LESS 1048576 OR size GREATER 1114112)
        message(FATAL_ERROR "${name}: ${size} bytes, not about 1 MiB")
    endif()
    # file(READ) drops the CRs; the round trip has checked the line ends.
    file(READ "${WORK_DIR}/${name}" text)
    foreach(kind "edit file" "replace" "add before" "add after")
        string(REGEX MATCHALL "\n<${kind}>\r?\n" blocks "${text}")
        list(LENGTH blocks found)
        string(REPLACE "edit file" "edit files" label "${kind}")
        if(NOT report MATCHES "([0-9]+) ${label}[ ,)]")
            message(FATAL_ERROR "${name}: no count of ${label} in: ${report}")
        endif()
        if(NOT found EQUAL CMAKE_MATCH_1 OR found LESS 100)
            message(FATAL_ERROR "${name}: ${found} <${kind}> blocks, reported ${CMAKE_MATCH_1}")
        endif()
    endforeach()
endfunction()

generate(forum.mod 1 "${FORUM_DIR}")
if(EXISTS "${FORUM_DIR}/Sources/Subs.pm" AND NOT report MATCHES "code from ${FORUM_DIR}")
    message(FATAL_ERROR "the forum's code was not used: ${report}")
endif()
check_round_trip(forum.mod)
check_counts(forum.mod "${report}")

# The built-in lines are what machines without the forum measure with.
generate(builtin.mod 1 "${WORK_DIR}/no-forum-here")
if(NOT report MATCHES "code from built-in lines")
    message(FATAL_ERROR "the built-in lines were not used: ${report}")
endif()
check_round_trip(builtin.mod)
check_counts(builtin.mod "${report}")

generate(again.mod 1 "${FORUM_DIR}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files
    "${WORK_DIR}/forum.mod" "${WORK_DIR}/again.mod" RESULT_VARIABLE differ)
if(differ)
    message(FATAL_ERROR "the same seed gave different bytes")
endif()
generate(other.mod 2 "${FORUM_DIR}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files
    "${WORK_DIR}/forum.mod" "${WORK_DIR}/other.mod" RESULT_VARIABLE differ)
if(NOT differ)
    message(FATAL_ERROR "another seed gave the same bytes")
endif()

file(REMOVE_RECURSE "${WORK_DIR}")
