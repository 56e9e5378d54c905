# The spreadsheet export against a headless LibreOffice Calc, when the Calc plugin is built.
if(TARGET quorvane_calc)
    quorvane_add_bench(bench_calc calc/bench_calc.cpp)
    target_link_libraries(bench_calc PRIVATE quorvane_uno)
    target_include_directories(bench_calc PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
    add_dependencies(bench_calc quorvane_calc)
    set_target_properties(bench_calc PROPERTIES BUILD_RPATH ${QUORVANE_LO_PROGRAM})
endif()
