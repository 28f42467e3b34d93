# The conversion library under libFuzzer (clang only): the fuzz preset turns this on and
# instruments every target for coverage and the sanitizers; only this one gets libFuzzer's main.
option(MIRTAK_FUZZ "Build the libFuzzer target over the conversion library" OFF)
if(MIRTAK_FUZZ)
  add_executable(mirtak_decoder_fuzzer
    tests/fuzz/decoder_fuzzer.cc
    tests/fuzz/block_invariance.cc
    tests/support.cc)
  target_link_libraries(mirtak_decoder_fuzzer PRIVATE mirtak_format)
  target_link_options(mirtak_decoder_fuzzer PRIVATE -fsanitize=fuzzer)
endif()
