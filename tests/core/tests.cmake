quorvane_add_test(NAME test_errortrap SOURCES core/test_errortrap.cpp)
quorvane_add_test(NAME test_textlistmodel SOURCES core/test_textlistmodel.cpp)
quorvane_add_test(NAME test_textblock SOURCES core/test_textblock.cpp)
