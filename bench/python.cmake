# The Python module beside quorvane-split: `cmake --build <build> --target bench_python` prints the figures.
if(TARGET quorvane_python AND TARGET quorvane-split)
    add_custom_target(bench_python
        COMMAND ${CMAKE_COMMAND} -E env PYTHONPATH=${QUORVANE_PYTHON_DIR} QUORVANE_DATA_DIR=${QUORVANE_APP_DIR}
            ${QUORVANE_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/bench_python.py
        DEPENDS quorvane_python quorvane-split quorvane_word_database
        USES_TERMINAL VERBATIM)
endif()
