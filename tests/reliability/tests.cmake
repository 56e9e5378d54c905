# The program under hostile and large inputs: each test drives the window as the user would and checks what
# the user sees (messages, entries kept, files untouched).
function(quorvane_add_window_test name)
    quorvane_add_test(NAME ${name} SOURCES reliability/${name}.cpp app/WindowHarness.h LIBS quorvane_gui)
    target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/app)
endfunction()

quorvane_add_window_test(test_hostiledomainfiles)
quorvane_add_window_test(test_hostilenames)
quorvane_add_window_test(test_hostilesettings)
