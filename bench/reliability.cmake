# The soak: a million names through the window, the exports and a restart; a line of 100 MB.
quorvane_add_bench(bench_soak reliability/bench_soak.cpp)
target_link_libraries(bench_soak PRIVATE quorvane_gui)
target_include_directories(bench_soak PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
add_dependencies(bench_soak quorvane_word_database)
