# Rigol/Siglent drivers: waveform read time against the simulator.
add_executable(ondivar-bench-drivers ${CMAKE_CURRENT_LIST_DIR}/bench_drivers.cpp)
target_link_libraries(ondivar-bench-drivers PRIVATE ondivar_drivers Qt6::Core Qt6::Network)
target_compile_definitions(ondivar-bench-drivers PRIVATE ONDIVAR_SIM_RIGOL_EXE="$<TARGET_FILE:ondivar-sim-rigol>")
add_dependencies(ondivar-bench-drivers ondivar-sim-rigol)
