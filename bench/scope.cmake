# ondivar-bench-scope: two-channel reads through ondivar-sim at 57 600 baud against their
# floor, and the block readers' decoding speed.
add_executable(ondivar-bench-scope ${CMAKE_CURRENT_LIST_DIR}/bench_scope.cpp)
target_link_libraries(ondivar-bench-scope PRIVATE ondivar_scope)
target_compile_definitions(ondivar-bench-scope PRIVATE ONDIVAR_SIM_EXE="$<TARGET_FILE:ondivar-sim>")
add_dependencies(ondivar-bench-scope ondivar-sim)
