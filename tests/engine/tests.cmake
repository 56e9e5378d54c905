quorvane_add_test(NAME test_wordlists SOURCES engine/test_wordlists.cpp LIBS quorvane_jetwriter)
quorvane_add_test(NAME test_worddatabase SOURCES engine/test_worddatabase.cpp LIBS quorvane_jetwriter)
add_dependencies(test_worddatabase quorvane_word_database)
set_property(TEST test_worddatabase APPEND PROPERTY ENVIRONMENT "QUORVANE_DBWORDS_SOURCE=${QUORVANE_DBWORDS_SOURCE}")

# The shipped word database read by the independent npm package mdb-reader. npm installs the locked version
# into the build tree first.
set(mdbreader_dir ${CMAKE_BINARY_DIR}/tests/mdbreader)
foreach(file package.json package-lock.json check-words.mjs)
    configure_file(${CMAKE_CURRENT_SOURCE_DIR}/engine/mdbreader/${file} ${mdbreader_dir}/${file} COPYONLY)
endforeach()
add_test(NAME mdbreader_install COMMAND npm ci --no-audit --no-fund --loglevel=error WORKING_DIRECTORY ${mdbreader_dir})
set_tests_properties(mdbreader_install PROPERTIES FIXTURES_SETUP mdbreader TIMEOUT 600)
add_test(NAME test_mdbreader_words
    COMMAND node ${mdbreader_dir}/check-words.mjs ${QUORVANE_APP_DIR}/dbWords.mdb ${QUORVANE_DBWORDS_SOURCE})
set_tests_properties(test_mdbreader_words PROPERTIES FIXTURES_REQUIRED mdbreader TIMEOUT 600)

# mkmdb writes the same bytes on every run, and the same bytes as the build did.
add_test(NAME test_mkmdb_reproducible
    COMMAND ${CMAKE_COMMAND} -DMKMDB=$<TARGET_FILE:mkmdb> -DSOURCE=${QUORVANE_DBWORDS_SOURCE}
        -DSHIPPED=${QUORVANE_APP_DIR}/dbWords.mdb -DWORK_DIR=${CMAKE_BINARY_DIR}/tests/mkmdb-reproducible
        -P ${CMAKE_CURRENT_SOURCE_DIR}/engine/check-reproducible.cmake)

quorvane_add_test(NAME test_segmenter SOURCES engine/test_segmenter.cpp)
# The search and its rows at every edge of their sizes, against the plain recursion.
quorvane_add_test(NAME test_segmenteredges SOURCES engine/test_segmenteredges.cpp)
quorvane_add_test(NAME test_keyradixsort SOURCES engine/test_keyradixsort.cpp)
quorvane_add_test(NAME test_namecleaner SOURCES engine/test_namecleaner.cpp)
quorvane_add_test(NAME test_entryprocessor SOURCES engine/test_entryprocessor.cpp)

# The shipped word lists and suffix list keep the format rules the loaders rely on.
quorvane_add_test(NAME test_shippedwords SOURCES engine/test_shippedwords.cpp)
set_property(TEST test_shippedwords APPEND PROPERTY ENVIRONMENT "QUORVANE_DATA_SOURCE_DIR=${PROJECT_SOURCE_DIR}/data")
quorvane_add_test(NAME test_wordscores SOURCES engine/test_wordscores.cpp)
add_dependencies(test_shippedwords quorvane_word_database)

quorvane_add_test(NAME test_stderrsilencer SOURCES engine/test_stderrsilencer.cpp)
quorvane_add_test(NAME test_filechangewatcher SOURCES engine/test_filechangewatcher.cpp)
quorvane_add_test(NAME test_filechangecheck SOURCES engine/test_filechangecheck.cpp)
quorvane_add_test(NAME test_rankedsearch SOURCES engine/test_rankedsearch.cpp)
# The likeliest splits beyond the word list, case hints and the user's words, against every split listed.
quorvane_add_test(NAME test_bestguesses SOURCES engine/test_bestguesses.cpp)
