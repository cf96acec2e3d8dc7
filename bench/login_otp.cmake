# bench_login_otp runs sentrel-devserver in-process and replays its requests with libcurl.
if(TARGET sentrel_devserver_lib)
  target_link_libraries(bench_login_otp PRIVATE sentrel_devserver_lib)
else()
  set_target_properties(bench_login_otp PROPERTIES EXCLUDE_FROM_ALL ON)
endif()
