# The program under hostile and large inputs: each test drives the window as the user would and checks what
# the user sees (messages, entries kept, files untouched).
function(quorvane_add_window_test name)
    quorvane_add_test(NAME ${name} SOURCES reliability/${name}.cpp app/WindowHarness.h LIBS quorvane_gui)
    target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/app)
endfunction()

quorvane_add_window_test(test_hostiledomainfiles)
quorvane_add_window_test(test_hostilenames)
quorvane_add_window_test(test_hostilesettings)
quorvane_add_window_test(test_hostileexports)
quorvane_add_window_test(test_hostilewordlists)
quorvane_add_window_test(test_windowsoak)
target_link_libraries(test_hostilewordlists PRIVATE quorvane_jetwriter)
quorvane_add_test(NAME test_largelists SOURCES reliability/test_largelists.cpp)

# The real program under a termination signal. Qt loads a library named "qttestability" into any program
# started with QT_LOAD_TESTABILITY=1; this one clicks "Start Splitting" once the window shows.
add_library(quorvane_testability SHARED reliability/StartSplittingDriver.cpp)
set_target_properties(quorvane_testability PROPERTIES OUTPUT_NAME qttestability
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/testability)
target_link_libraries(quorvane_testability PRIVATE quorvane_common Qt6::Widgets)
quorvane_add_test(NAME test_termination SOURCES reliability/test_termination.cpp)
target_compile_definitions(test_termination PRIVATE
    TESTABILITY_DIR="$<TARGET_FILE_DIR:quorvane_testability>")
add_dependencies(test_termination quorvane quorvane_testability)
