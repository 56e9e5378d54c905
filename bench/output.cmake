quorvane_add_bench(bench_output output/bench_output.cpp)
