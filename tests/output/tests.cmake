quorvane_add_test(NAME test_alignedtextexport SOURCES output/test_alignedtextexport.cpp LIBS Qt6::Gui)
quorvane_add_test(NAME test_clipboardcopy SOURCES output/test_clipboardcopy.cpp LIBS Qt6::Gui)
quorvane_add_test(NAME test_outputcommands SOURCES output/test_outputcommands.cpp LIBS Qt6::Gui)
quorvane_add_test(NAME test_spreadsheetexport SOURCES output/test_spreadsheetexport.cpp LIBS Qt6::Gui)
quorvane_add_test(NAME test_textlistexports SOURCES output/test_textlistexports.cpp LIBS Qt6::Gui)
quorvane_add_test(NAME test_officepipe SOURCES output/test_officepipe.cpp)

# The clipboard adapter against a real X server: another program reads what was copied.
add_executable(test_qtclipboard output/test_qtclipboard.cpp)
target_link_libraries(test_qtclipboard PRIVATE quorvane_testsupport quorvane_gui)
set_target_properties(test_qtclipboard PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
find_program(QUORVANE_XVFB_RUN xvfb-run)
find_program(QUORVANE_XCLIP xclip)
if(QUORVANE_XVFB_RUN AND QUORVANE_XCLIP)
    add_test(NAME test_qtclipboard COMMAND ${QUORVANE_XVFB_RUN} -a $<TARGET_FILE:test_qtclipboard>)
    set_tests_properties(test_qtclipboard PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=xcb;ASAN_OPTIONS=detect_leaks=0:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
        TIMEOUT 120)
else()
    message(WARNING "xvfb-run or xclip not found: the X11 clipboard test is not registered (tools/install-deps.sh test)")
endif()

# The programs must start where LibreOffice is missing: none of them may need a UNO library directly.
set(programs_without_uno $<TARGET_FILE:quorvane>)
if(TARGET quorvane-split)
    list(APPEND programs_without_uno $<TARGET_FILE:quorvane-split>)
endif()
list(JOIN programs_without_uno "$<SEMICOLON>" programs_without_uno)
add_test(NAME test_programs_link_no_uno
    COMMAND ${CMAKE_COMMAND} "-DFILES=${programs_without_uno}" -P ${CMAKE_CURRENT_SOURCE_DIR}/output/check-no-uno.cmake)

# One real export to a headless LibreOffice Calc, when the plugin is built (LibreOffice SDK present). Not in the
# sanitizer build: UNO's bridge proxies carry no type information that UBSan's vptr check can match, and that
# check is fatal there.
if(TARGET quorvane_calc AND NOT QUORVANE_SANITIZE)
    quorvane_add_test(NAME test_calc_endtoend SOURCES output/test_calc_endtoend.cpp LIBS quorvane_uno Qt6::Gui)
    add_dependencies(test_calc_endtoend quorvane_calc)
    set_target_properties(test_calc_endtoend PROPERTIES BUILD_RPATH ${QUORVANE_LO_PROGRAM})
    # LibreOffice's own libraries are not built with the sanitizers: their allocations are not ours to check.
    set_tests_properties(test_calc_endtoend PROPERTIES
        ENVIRONMENT "QUORVANE_APP_DIR=${QUORVANE_APP_DIR};ASAN_OPTIONS=detect_leaks=0:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
        TIMEOUT 180)
endif()

# A test that also runs the window program, in a process of its own (itself, started again), against LibreOffice.
function(quorvane_add_office_window_test name)
    add_executable(${name} output/${name}.cpp)
    target_link_libraries(${name} PRIVATE quorvane_testsupport quorvane_gui quorvane_uno Qt6::Test)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src/app)
    add_dependencies(${name} quorvane_calc quorvane_word_database quorvane_cursor)
    set_target_properties(${name} PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests BUILD_RPATH ${QUORVANE_LO_PROGRAM})
endfunction()

# The same export from the window program to a LibreOffice with windows, on an X server: the document must be
# shown, unsaved, and stay when the program ends. Skipped where only the windowless Calc is installed.
if(TARGET quorvane_calc AND NOT QUORVANE_SANITIZE AND QUORVANE_XVFB_RUN)
    quorvane_add_office_window_test(test_calc_visible)
    add_test(NAME test_calc_visible COMMAND ${QUORVANE_XVFB_RUN} -a -s "-screen 0 1600x1000x24"
        $<TARGET_FILE:test_calc_visible>)
    set_tests_properties(test_calc_visible PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=xcb;QUORVANE_APP_DIR=${QUORVANE_APP_DIR};ASAN_OPTIONS=detect_leaks=0:abort_on_error=1"
        TIMEOUT 300 SKIP_RETURN_CODE 77)
endif()
quorvane_add_test(NAME test_asciinarrowing SOURCES output/test_asciinarrowing.cpp)

# Closing the window during an export's wait for an office that never answers, or during the writes to a
# windowless one: the program must end within a second. The window program runs in a process of its own,
# without a screen.
if(TARGET quorvane_calc AND NOT QUORVANE_SANITIZE)
    quorvane_add_office_window_test(test_calc_closing)
    add_test(NAME test_calc_closing COMMAND test_calc_closing)
    set_tests_properties(test_calc_closing PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QUORVANE_APP_DIR=${QUORVANE_APP_DIR}" TIMEOUT 120)
endif()
