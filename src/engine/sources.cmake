target_sources(quorvane_core PRIVATE
    engine/WordDictionary.cpp)
