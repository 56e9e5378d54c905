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
