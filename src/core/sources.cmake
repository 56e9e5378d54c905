target_sources(quorvane_core PRIVATE
    core/EventPump.cpp
    core/ErrorTrap.cpp
    core/Failure.cpp
    core/Pointer.cpp
    core/Prompter.cpp
    core/ProcessorFeatures.cpp)
