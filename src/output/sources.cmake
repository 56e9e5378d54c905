# Results output (aligned text, clipboard text, spreadsheet export and the LibreOffice Calc plugin's loader).
target_sources(quorvane_core PRIVATE
    output/AlignedTextExport.cpp
    output/AsciiNarrowingSse2.cpp
    output/ClipboardCopy.cpp
    output/LibreOfficeCalc.cpp
    output/ListViewReader.cpp
    output/OfficePipe.cpp
    output/OutputCommands.cpp
    output/SpreadsheetExport.cpp
    output/SpreadsheetThread.cpp
    output/TextListRows.cpp)
