# Fails when docs/modules.md no longer matches what `zrhost describe --all --markdown` writes
# for the library just built. Run by ctest with -DZRHOST=... -DREFERENCE=... -DLIBRARY=...
execute_process(COMMAND ${ZRHOST} --library ${LIBRARY} describe --all --markdown
                OUTPUT_VARIABLE current RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "zrhost describe --all --markdown failed (${status})")
endif()
file(READ ${REFERENCE} checked_in)
if(NOT current STREQUAL checked_in)
  message(FATAL_ERROR "${REFERENCE} is stale: regenerate it with\n"
                      "  build/bin/zrhost describe --all --markdown > docs/modules.md")
endif()
