quorvane_add_test(NAME test_alignedtextexport SOURCES output/test_alignedtextexport.cpp LIBS Qt6::Gui)
quorvane_add_test(NAME test_clipboardcopy SOURCES output/test_clipboardcopy.cpp LIBS Qt6::Gui)
quorvane_add_test(NAME test_outputcommands SOURCES output/test_outputcommands.cpp LIBS Qt6::Gui)
quorvane_add_test(NAME test_spreadsheetexport SOURCES output/test_spreadsheetexport.cpp LIBS Qt6::Gui)

# The clipboard adapter against a real X server: another program reads what was copied.
add_executable(test_qtclipboard output/test_qtclipboard.cpp ${PROJECT_SOURCE_DIR}/src/app/QtClipboard.cpp)
target_include_directories(test_qtclipboard PRIVATE ${PROJECT_SOURCE_DIR}/src/app)
target_link_libraries(test_qtclipboard PRIVATE quorvane_testsupport Qt6::Gui)
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
