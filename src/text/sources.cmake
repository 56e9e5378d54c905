target_sources(quorvane_core PRIVATE
    text/LineDecoder.cpp
    text/LineDecoderSse2.cpp
    text/TextBlock.cpp
    text/TextFiles.cpp
    text/Windows1252.cpp)
