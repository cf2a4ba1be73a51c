add_executable(ondivar-bench-link ${CMAKE_CURRENT_LIST_DIR}/bench_link.cpp)
target_link_libraries(ondivar-bench-link PRIVATE ondivar_link)
target_compile_definitions(ondivar-bench-link PRIVATE ONDIVAR_SIM_EXE="$<TARGET_FILE:ondivar-sim>")
add_dependencies(ondivar-bench-link ondivar-sim)
