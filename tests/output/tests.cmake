quorvane_add_test(NAME test_alignedtextexport SOURCES output/test_alignedtextexport.cpp LIBS Qt6::Gui)
quorvane_add_test(NAME test_clipboardcopy SOURCES output/test_clipboardcopy.cpp LIBS Qt6::Gui)
quorvane_add_test(NAME test_outputcommands SOURCES output/test_outputcommands.cpp LIBS Qt6::Gui)
