# bench_round_trips runs sentrel-devserver in-process, on HTTPS behind its latency relay.
if(TARGET sentrel_devserver_lib)
  target_link_libraries(bench_round_trips PRIVATE sentrel_devserver_lib)
else()
  set_target_properties(bench_round_trips PROPERTIES EXCLUDE_FROM_ALL ON)
endif()
