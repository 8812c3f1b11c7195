# Benchmarks (native only): bench/*_bench.cpp make up the Google Benchmark program
# micro_bench; bench/tools/*.cpp each become a helper program that bench/run times
# against the baselines.
find_package(benchmark REQUIRED)

file(GLOB TROLVANE_BENCH_SOURCES CONFIGURE_DEPENDS bench/*_bench.cpp)
add_executable(micro_bench ${TROLVANE_BENCH_SOURCES})
target_link_libraries(micro_bench PRIVATE trolvane_core benchmark::benchmark_main)

file(GLOB TROLVANE_BENCH_TOOLS CONFIGURE_DEPENDS bench/tools/*.cpp)
foreach(tool ${TROLVANE_BENCH_TOOLS})
  get_filename_component(name ${tool} NAME_WE)
  add_executable(${name} ${tool})
  target_link_libraries(${name} PRIVATE trolvane_core)
endforeach()
