# Makes the ctest entries of one test program when ctest starts; included by the file that
# tests/CMakeLists.txt writes for each program, after it set
#   orv_program    the program (in the build),   orv_list   its testfunctions.cmake output,
#   orv_netns_run, orv_environment, orv_costs (entry:seconds ...), orv_sanitized.
# Every test function runs in some entry: those that no hand-made entry names get entries of
# their own making. A function that checks a duration (`timed`) runs in an entry that runs
# alone (RUN_SERIAL), so that no other test job competes for the cores while it measures;
# in a sanitizer build, which checks no duration, beside the others.

# orv_entry(<name> <arguments...>): one entry; the arguments that name test functions (alone
# or as function:row) are what it runs, none means all. Adds them to orv_covered.
function(orv_entry name)
    set(runs)
    foreach(argument IN LISTS ARGN)
        string(REGEX REPLACE ":.*" "" candidate "${argument}")
        if(candidate IN_LIST functions)
            list(APPEND runs ${candidate})
        endif()
    endforeach()
    if(NOT runs)
        set(runs ${functions})
    endif()
    set(alone OFF)
    foreach(function IN LISTS runs)
        if(function IN_LIST timed AND NOT orv_sanitized)
            set(alone ON)
        endif()
    endforeach()
    set(cost 1)
    string(REGEX REPLACE "_[0-9]+$" "" function_entry "${name}") # a row's entry: what each row takes
    foreach(entry IN LISTS orv_costs)
        if(entry MATCHES "^(${name}|${function_entry}):([0-9]+)$")
            set(cost ${CMAKE_MATCH_2})
        endif()
    endforeach()
    if(alone)
        set(kind alone)
    else()
        set(kind shared)
    endif()
    add_test(${name} ${orv_netns_run} ${orv_program} ${ARGN})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "${orv_environment};ORV_TEST_ENTRY=${kind}" TIMEOUT 120 COST ${cost} RUN_SERIAL ${alone})
    if(alone)
        set_tests_properties(${name} PROPERTIES LABELS timing)
    endif()
    list(APPEND orv_covered ${runs})
    set(orv_covered ${orv_covered} PARENT_SCOPE)
    set(orv_entries ${orv_entries} ${name} PARENT_SCOPE)
endfunction()

# orv_remaining_entries(<name> <EACH_FUNCTION|TOGETHER>): entries for the functions that no
# entry ran so far: one per function (<name>_<function>; one per row, <name>_<function>_<n>,
# for a function with rows_<function>), or one for the untimed ones (<name>) and one for the
# timed ones (<name>_timed).
function(orv_remaining_entries name mode)
    set(untimed_left)
    set(timed_left)
    foreach(function IN LISTS functions)
        if(NOT function IN_LIST orv_covered)
            if(mode STREQUAL "EACH_FUNCTION" AND rows_${function})
                set(row 0)
                foreach(tag IN LISTS rows_${function})
                    math(EXPR row "${row} + 1")
                    orv_entry(${name}_${function}_${row} "${function}:${tag}")
                endforeach()
            elseif(mode STREQUAL "EACH_FUNCTION")
                orv_entry(${name}_${function} ${function})
            elseif(function IN_LIST timed)
                list(APPEND timed_left ${function})
            else()
                list(APPEND untimed_left ${function})
            endif()
        endif()
    endforeach()
    if(untimed_left AND timed_left)
        orv_entry(${name} ${untimed_left})
        orv_entry(${name}_timed ${timed_left})
    elseif(orv_covered AND (untimed_left OR timed_left)) # the others ran in hand-made entries
        orv_entry(${name} ${untimed_left} ${timed_left})
    elseif(untimed_left OR timed_left OR (NOT functions AND NOT orv_entries))
        orv_entry(${name}) # all of them, as the program runs them by itself
    endif()
endfunction()

set(orv_covered)
set(orv_entries)
set(functions)
set(timed)
set(orv_built OFF)
if(EXISTS "${orv_list}")
    include("${orv_list}")
    set(orv_built ON)
else()
    # Built only in part (a single target): say so rather than run nothing unnoticed.
    get_filename_component(orv_name "${orv_program}" NAME)
    add_test(${orv_name}_not_built sh -c "echo '${orv_list} is missing: build all targets' >&2; exit 1")
endif()
