target_sources(quorvane_core PRIVATE
    engine/AsciiWordTrie.cpp
    engine/EntryProcessor.cpp
    engine/ExtraPieces.cpp
    engine/NameCleaner.cpp
    engine/NumericPieces.cpp
    engine/RankedSearch.cpp
    engine/Segmenter.cpp
    engine/ShortAsciiRows.cpp
    engine/SplitResults.cpp
    engine/SplitSettings.cpp
    engine/UserWords.cpp
    engine/WordDatabase.cpp
    engine/WordDictionary.cpp
    engine/WordLists.cpp
    engine/WordTrie.cpp)
target_sources(quorvane_core PRIVATE engine/WordScores.cpp)

# Word list #1 is an Access database, read through mdbtools' libmdb.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBMDB REQUIRED IMPORTED_TARGET libmdb)
target_link_libraries(quorvane_core PRIVATE PkgConfig::LIBMDB)

# OS plumbing the engine's classes use: noticing changes to a file, silencing standard error around libmdb.
target_sources(quorvane_core PRIVATE
    engine/FileChangeCheck.cpp
    engine/FileChangeWatcher.cpp
    engine/ProcessWideStderrSilencer.cpp)
