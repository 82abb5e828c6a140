# The live-server entries: the data suite and the station's scenarios against the
# PostgreSQL server and ODBC setup scripts/live-servers.sh starts (scripts/test.sh does),
# directly, through ODBC to PostgreSQL and through ODBC to SQLite. Skipped without the
# servers, failed in CI without them.
foreach(kind postgresql odbc_postgresql odbc_sqlite)
  add_test(NAME live_${kind}
    COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/live-test.sh ${kind}
            $<TARGET_FILE:server_tests> $<TARGET_FILE:station_tests>)
  set_tests_properties(live_${kind} PROPERTIES
    LABELS live SKIP_RETURN_CODE 77 TIMEOUT 900
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:fast_unwind_on_malloc=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/lsan.supp")
endforeach()
