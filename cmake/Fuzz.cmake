# libFuzzer targets (clang only): fuzz/<name>_fuzz.cpp becomes the program fuzz_<name>,
# with the core built for coverage and AddressSanitizer/UndefinedBehaviorSanitizer.
# fuzz/run drives them for a bounded time over the seed corpora in fuzz/corpus/<name>/.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "TROLVANE_FUZZ needs clang++ (libFuzzer); use the fuzz preset")
endif()

set(TROLVANE_FUZZ_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
target_compile_options(trolvane_core PRIVATE -fsanitize=fuzzer-no-link ${TROLVANE_FUZZ_FLAGS})
# The program itself links against the instrumented core too.
target_link_options(trolvane PRIVATE -fsanitize=fuzzer-no-link ${TROLVANE_FUZZ_FLAGS})

file(GLOB TROLVANE_FUZZ_SOURCES CONFIGURE_DEPENDS fuzz/*_fuzz.cpp)
foreach(source ${TROLVANE_FUZZ_SOURCES})
  get_filename_component(stem ${source} NAME_WE)
  string(REGEX REPLACE "_fuzz$" "" name ${stem})
  add_executable(fuzz_${name} ${source})
  target_include_directories(fuzz_${name} PRIVATE fuzz)
  target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer ${TROLVANE_FUZZ_FLAGS})
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer ${TROLVANE_FUZZ_FLAGS})
  target_link_libraries(fuzz_${name} PRIVATE trolvane_core)
endforeach()
