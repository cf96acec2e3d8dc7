# bench_crypto plays the service's side with the tests' RSA key helper.
target_include_directories(bench_crypto PRIVATE ${CMAKE_SOURCE_DIR}/tests)
