# The CTest fixture pgserver (tests/team/pg_fixture.sh): started before the tests that require it, removed
# after them, also when they fail. Used by the Linux and the Windows (Wine) builds alike.
set(QUARVEL_PG_TEST_DIR ${PROJECT_BINARY_DIR}/pg-test)
add_test(NAME pg_start COMMAND ${PROJECT_SOURCE_DIR}/tests/team/pg_fixture.sh start ${QUARVEL_PG_TEST_DIR})
add_test(NAME pg_stop COMMAND ${PROJECT_SOURCE_DIR}/tests/team/pg_fixture.sh stop ${QUARVEL_PG_TEST_DIR})
set_tests_properties(pg_start PROPERTIES FIXTURES_SETUP pgserver LABELS history TIMEOUT 120)
set_tests_properties(pg_stop PROPERTIES FIXTURES_CLEANUP pgserver LABELS history TIMEOUT 120)
