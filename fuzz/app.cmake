# The settings store is plain Qt Core; the fuzzer compiles it directly rather than linking the window.
quorvane_add_fuzzer(fuzz_zipcodes fuzz_zipcodes.cpp ${CMAKE_SOURCE_DIR}/src/app/Settings.cpp)
target_include_directories(fuzz_zipcodes PRIVATE ${CMAKE_SOURCE_DIR}/src/app)
