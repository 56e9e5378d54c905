target_sources(quorvane_core PRIVATE
    run/JobThreads.cpp
    run/RowFormat.cpp
    run/SplitAhead.cpp
    run/SplittingRun.cpp)
