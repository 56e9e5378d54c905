# Domain list input (file loading, typed names, samples).
target_sources(quorvane_core PRIVATE
    input/DomainFileReader.cpp
    input/DomainListCommands.cpp
    input/DomainListInput.cpp)
