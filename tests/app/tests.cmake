quorvane_add_test(NAME test_mainwindow SOURCES app/test_mainwindow.cpp app/WindowHarness.h LIBS quorvane_gui)
quorvane_add_test(NAME test_splittingrun SOURCES app/test_splittingrun.cpp app/WindowHarness.h LIBS quorvane_gui)
quorvane_add_test(NAME test_domainlistcommands SOURCES app/test_domainlistcommands.cpp app/WindowHarness.h LIBS quorvane_gui)
quorvane_add_test(NAME test_cursorfile SOURCES app/test_cursorfile.cpp LIBS quorvane_gui)
quorvane_add_test(NAME test_outputbuttons SOURCES app/test_outputbuttons.cpp app/WindowHarness.h LIBS quorvane_gui)
quorvane_add_test(NAME test_rankresults SOURCES app/test_rankresults.cpp app/WindowHarness.h LIBS quorvane_gui)
quorvane_add_test(NAME test_rowheader SOURCES app/test_rowheader.cpp LIBS quorvane_gui)
# The window's tests start it on the build's application folder.
foreach(test test_mainwindow test_splittingrun test_domainlistcommands test_cursorfile test_outputbuttons
        test_rankresults)
    add_dependencies(${test} quorvane_word_database quorvane_cursor)
endforeach()

# The likeliest-split rows' colour as a real X server shows them, after real clicks on the shown window.
add_executable(test_likeliestcolour app/test_likeliestcolour.cpp app/WindowHarness.h)
target_link_libraries(test_likeliestcolour PRIVATE quorvane_testsupport quorvane_gui)
set_target_properties(test_likeliestcolour PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
add_dependencies(test_likeliestcolour quorvane_word_database quorvane_cursor)
find_program(QUORVANE_XVFB_RUN xvfb-run)
if(QUORVANE_XVFB_RUN)
    add_test(NAME test_likeliestcolour COMMAND ${QUORVANE_XVFB_RUN} -a $<TARGET_FILE:test_likeliestcolour>)
    set_tests_properties(test_likeliestcolour PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=xcb;QUORVANE_APP_DIR=${QUORVANE_APP_DIR};ASAN_OPTIONS=detect_leaks=0:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
        TIMEOUT 120)
else()
    message(WARNING "xvfb-run not found: the window's drawn-colour test is not registered (tools/install-deps.sh test)")
endif()
