quorvane_add_test(NAME test_batchsplitter SOURCES cli/test_batchsplitter.cpp)
add_dependencies(test_batchsplitter quorvane-split quorvane_word_database)

quorvane_add_test(NAME test_rankingoptions SOURCES cli/test_rankingoptions.cpp)
add_dependencies(test_rankingoptions quorvane-split)

# GNU parallel over quorvane-split gives the bytes of one run.
add_test(NAME test_sharding
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/cli/check-sharding.sh ${QUORVANE_APP_DIR}/quorvane-split
        ${CMAKE_BINARY_DIR}/tests/sharding)
set_tests_properties(test_sharding PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600)
