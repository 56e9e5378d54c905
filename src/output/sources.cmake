# Results output (aligned text, clipboard text, spreadsheet interface).
target_sources(quorvane_core PRIVATE
    output/AlignedTextExport.cpp
    output/ClipboardCopy.cpp
    output/ListViewReader.cpp
    output/OutputCommands.cpp)
