# bench_markup_parser compares the SDK's parser with pugixml (Debian's libpugixml-dev).
find_package(pugixml REQUIRED CONFIG)
target_link_libraries(bench_markup_parser PRIVATE pugixml::pugixml)
