quorvane_add_test(NAME test_errortrap SOURCES core/test_errortrap.cpp)
