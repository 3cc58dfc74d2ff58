# Lists the test functions of one Qt Test program, at build time:
#   cmake -D PROGRAM=<test program> -D SOURCES=<its sources, separated by |> -D OUTPUT=<file>
#         -D NETNS_RUN=<tests/netns-run> [-D ROWS_APART=<functions, separated by |>] -P testfunctions.cmake
# OUTPUT then sets `functions` (every test function, as the program's -functions prints them),
# `timed` (those whose own body checks a duration with QVERIFY_DURATION) and, for each function
# of ROWS_APART, `rows_<function>` (its data rows, as -datatags prints them), for
# testentries.cmake to make ctest entries of.

execute_process(
    COMMAND ${NETNS_RUN} env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 ${PROGRAM} -functions
    OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE status)
string(REGEX MATCHALL "(^|\n)[A-Za-z_][A-Za-z0-9_]*\\(\\)" lines "${listing}")
set(functions)
foreach(line IN LISTS lines)
    string(REGEX REPLACE "[\n()]" "" name "${line}")
    list(APPEND functions ${name})
endforeach()
if(NOT status EQUAL 0 OR NOT functions)
    # Not a Qt Test program, or one that cannot even list its functions: its entries run it
    # whole, and fail there if it is broken.
    message(WARNING "${PROGRAM} -functions listed no test function (status ${status}):\n${listing}${errors}")
    file(WRITE "${OUTPUT}" "set(functions)\nset(timed)\n")
    return()
endif()

set(text)
string(REPLACE "|" ";" SOURCES "${SOURCES}")
foreach(source IN LISTS SOURCES)
    if(source MATCHES "\\.(cpp|h)$" AND EXISTS "${source}")
        file(READ "${source}" content)
        string(APPEND text "${content}\n")
    endif()
endforeach()

# A function's body runs from its definition to the next function definition or access
# specifier; a check in a helper it calls is not seen here (durationProblem() then fails it).
set(timed)
foreach(name IN LISTS functions)
    string(REGEX MATCH "void[ \t]+([A-Za-z0-9_]+::)?${name}[ \t]*\\([ \t]*\\)[ \t\r\n]*{(.*)" definition "${text}")
    set(body "${CMAKE_MATCH_2}")
    string(REGEX MATCH "\n([ \t]*void[ \t]+[A-Za-z0-9_:]+[ \t]*\\(|(public|protected|private)[ A-Za-z_]*:|};)" next "${body}")
    if(next)
        string(FIND "${body}" "${next}" end)
        string(SUBSTRING "${body}" 0 ${end} body)
    endif()
    if(body MATCHES "QVERIFY_DURATION")
        list(APPEND timed ${name})
    endif()
endforeach()

set(rows)
if(ROWS_APART)
    execute_process(
        COMMAND ${NETNS_RUN} env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 ${PROGRAM} -datatags
        OUTPUT_VARIABLE listing ERROR_QUIET)
    string(REPLACE ";" "" listing "${listing}") # a row named with one would split in two here
    string(REPLACE "\n" ";" lines "${listing}")
    string(REPLACE "|" ";" ROWS_APART "${ROWS_APART}")
    foreach(function IN LISTS ROWS_APART)
        set(tags)
        foreach(line IN LISTS lines)
            if(line MATCHES "^[A-Za-z_][A-Za-z0-9_]* ${function} (.+)$")
                string(REGEX REPLACE "([\\\\\"$])" "\\\\\\1" tag "${CMAKE_MATCH_1}")
                string(APPEND tags " \"${tag}\"")
            endif()
        endforeach()
        string(APPEND rows "set(rows_${function}${tags})\n")
    endforeach()
endif()

file(WRITE "${OUTPUT}" "set(functions ${functions})\nset(timed ${timed})\n${rows}")
