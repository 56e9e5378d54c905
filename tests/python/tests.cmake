# The Python module's tests, with pytest against the module and quorvane-split of this build.
if(TARGET quorvane_python)
    execute_process(COMMAND ${QUORVANE_PYTHON} -c "import pytest" RESULT_VARIABLE no_pytest OUTPUT_QUIET ERROR_QUIET)
    if(no_pytest)
        message(STATUS "pytest not found for ${QUORVANE_PYTHON}: the Python module's tests are not run")
        return()
    endif()
    set(python_environment "PYTHONPATH=${QUORVANE_PYTHON_DIR}" "QUORVANE_DATA_DIR=${QUORVANE_APP_DIR}"
        "PYTHONDONTWRITEBYTECODE=1")
    if(QUORVANE_SANITIZE)
        # The interpreter is not instrumented: the sanitizer's runtime has to be loaded before anything else, with
        # the C++ runtime beside it so that it finds the exception functions it wraps; and the interpreter's own
        # memory, kept until exit by design, is no leak of ours.
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
            OUTPUT_VARIABLE asan_runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++.so
            OUTPUT_VARIABLE cxx_runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
        list(APPEND python_environment "LD_PRELOAD=${asan_runtime}:${cxx_runtime}"
            "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1"
            "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
    endif()
    add_test(NAME test_python
        COMMAND ${QUORVANE_PYTHON} -m pytest -q -p no:cacheprovider ${CMAKE_CURRENT_SOURCE_DIR}/python)
    set_tests_properties(test_python PROPERTIES ENVIRONMENT "${python_environment}" TIMEOUT 600)
endif()
