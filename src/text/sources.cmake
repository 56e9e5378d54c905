target_sources(quorvane_core PRIVATE
    text/TextFiles.cpp
    text/Windows1252.cpp)
