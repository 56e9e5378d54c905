# The splitting engine beside the plain recursion, and quorvane-split end to end beside the I/O floor.
quorvane_add_bench(bench_engine bench_engine.cpp ${CMAKE_SOURCE_DIR}/tests/support/PlainSplitter.cpp)
target_include_directories(bench_engine PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
if(TARGET quorvane-split)
    add_dependencies(bench_engine quorvane-split quorvane_word_database)
endif()
# What quorvane-split costs before its first name and after its last, phase by phase.
quorvane_add_bench(bench_startup bench_startup.cpp)
if(TARGET quorvane-split)
    add_dependencies(bench_startup quorvane-split quorvane_word_database)
endif()
# The per-name work outside the search: reading and cleaning the names.
quorvane_add_bench(bench_cleaning bench_cleaning.cpp)
# Ranking off and on (--rank, --best 1), in the engine and in quorvane-split.
quorvane_add_bench(bench_ranking bench_ranking.cpp)
if(TARGET quorvane-split)
    add_dependencies(bench_ranking quorvane-split quorvane_word_database)
endif()
