quorvane_add_test(NAME test_textfiles SOURCES text/test_textfiles.cpp)
quorvane_add_test(NAME test_windows1252 SOURCES text/test_windows1252.cpp)
quorvane_add_test(NAME test_linedecoder SOURCES text/test_linedecoder.cpp)
quorvane_add_test(NAME test_textblock SOURCES text/test_textblock.cpp)
