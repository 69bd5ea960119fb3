# One executable per test, run offscreen in a fixed locale with a timeout and a label; what the
# program keeps for the user (the history of what ran, the SQL editor's text) goes to a folder of
# the test's own in the build folder, never to the home folder.
#   orvessa_add_test(tst_name SOURCES a.cpp [b.cpp] LIBS lib... [LABEL label] [TIMEOUT s] [ENV K=V...]
#                    [WRAPPER script])
# WRAPPER runs the test through a script that prepares its surroundings (a D-Bus session, ...).
function(orvessa_add_test name)
    cmake_parse_arguments(T "" "LABEL;TIMEOUT;WRAPPER" "SOURCES;LIBS;ENV" ${ARGN})
    if(NOT T_LABEL)
        set(T_LABEL unit)
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE orvessa_test_support Qt6::Test ${T_LIBS})
    orvessa_warnings(${name})
    orvessa_test_pch(${name} ${T_LIBS})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    if(T_WRAPPER)
        add_test(NAME ${name} COMMAND ${T_WRAPPER} $<TARGET_FILE:${name}>)
    else()
        add_test(NAME ${name} COMMAND ${name})
    endif()
    set_tests_properties(${name} PROPERTIES
        LABELS ${T_LABEL}
        TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;LANG=C.UTF-8;ORVESSA_SOURCE_DIR=${PROJECT_SOURCE_DIR};ORVESSA_APP_FOLDER=${ORVESSA_APP_FOLDER};XDG_DATA_HOME=${CMAKE_BINARY_DIR}/tests/data/${name};${T_ENV}")
endfunction()
