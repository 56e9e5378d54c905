target_sources(quorvane_core PRIVATE
    model/TextListModel.cpp)
