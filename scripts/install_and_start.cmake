# Installs the build into a staging folder (DESTDIR) and starts the installed programs with
# --help: each must exit 0 and print its usage; lumora knows each of its options; a refused site
# address exits 2; lumora --check-h264 says its engine plays MP4 lessons. Run by ctest
# (test install_and_start) as
#   cmake -D BUILD_DIR=... -D STAGING_DIR=... -D PREFIX=... -D BINDIR=... -D WITH_SITE=ON|OFF
#         -P install_and_start.cmake

file(REMOVE_RECURSE "${STAGING_DIR}")
set(ENV{DESTDIR} "${STAGING_DIR}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${result}):\n${output}")
endif()

set(bin "${STAGING_DIR}${PREFIX}/${BINDIR}")

# lumora_expect_usage(PROGRAM TEXT): PROGRAM --help exits 0 and prints TEXT.
function(lumora_expect_usage program text)
  if(NOT EXISTS "${bin}/${program}")
    message(FATAL_ERROR "${program} was not installed into ${bin}")
  endif()
  execute_process(COMMAND "${bin}/${program}" --help
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors TIMEOUT 60)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${program} --help exited with ${result}:\n${output}${errors}")
  endif()
  string(FIND "${output}" "${text}" at)
  if(at LESS 0)
    message(FATAL_ERROR "${program} --help did not print \"${text}\":\n${output}${errors}")
  endif()
  message(STATUS "${bin}/${program} --help: exit 0, usage printed")
endfunction()

lumora_expect_usage(lumora "Usage: ${bin}/lumora [options]")
lumora_expect_usage(lumora "--site <URL>")
# Every option the program is started with is one it knows (a restart by the system adds
# --resume): an unknown one ends it with exit 1 before --version is read.
execute_process(COMMAND "${bin}/lumora" --site http://site.example --resume --check-h264
                        --state-file "${STAGING_DIR}/state.txt" --version
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors TIMEOUT 60)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "lumora with each of its options exited with ${result}:\n${output}${errors}")
endif()
message(STATUS "${bin}/lumora with each of its options and --version: exit 0")
if(WITH_SITE)
  lumora_expect_usage(lumora-site "--heartbeat-ms <N>")
endif()

# A site address it refuses is told on the console, exit code 2, with no window to wait for.
execute_process(COMMAND "${bin}/lumora" --site ftp://site.example
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors TIMEOUT 60)
if(NOT result EQUAL 2 OR NOT errors MATCHES "(^|\n)lumora: [^\n]*ftp")
  message(FATAL_ERROR "lumora --site ftp://site.example exited with ${result}:\n${output}${errors}")
endif()
message(STATUS "${bin}/lumora --site ftp://...: exit 2, told on the console")

# The installed program's engine plays MP4 lessons: one line, exit code 0, and the engine's own
# answer ("probably" from Debian's).
execute_process(COMMAND "${bin}/lumora" --check-h264
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors TIMEOUT 90)
if(NOT result EQUAL 0 OR NOT output STREQUAL "lumora: this engine plays H.264 and AAC video (MP4)\n"
   OR NOT errors MATCHES "canPlayType\\([^\n]*avc1[^\n]*mp4a[^\n]*\\): \"probably\"")
  message(FATAL_ERROR "lumora --check-h264 exited with ${result}:\n${output}${errors}")
endif()
string(STRIP "${output}" output)
message(STATUS "${bin}/lumora --check-h264: exit 0, \"${output}\"")

# A whole start, in a home of its own: the program opens its record in its data folder, asks the
# site for its login page (port 9, which the engine refuses at once), and then asks its engine
# about MP4. Waited for in the record, then ended.
set(home "${STAGING_DIR}/home")
file(REMOVE_RECURSE "${home}")
set(log "${home}/data/Lumora/lumora.log")
set(ENV{HOME} "${home}")
foreach(kind DATA CONFIG CACHE STATE)
  string(TOLOWER "${kind}" folder)
  set(ENV{XDG_${kind}_HOME} "${home}/${folder}")
endforeach()
execute_process(COMMAND sh -c "\"$0\" --site http://127.0.0.1:9/ & pid=$!
    for i in $(seq 240); do grep -q canPlayType \"$1\" 2>/dev/null && break; sleep 0.25; done
    kill $pid" "${bin}/lumora" "${log}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors TIMEOUT 90)
if(EXISTS "${log}")
  file(READ "${log}" record)
endif()
if(NOT record MATCHES "load failed: \"http://127.0.0.1:9/permission/loginAction.do\\?method=init\""
   OR NOT record MATCHES "canPlayType")
  message(FATAL_ERROR "lumora --site http://127.0.0.1:9/ did not start as expected:\n"
                      "${record}${output}${errors}")
endif()
message(STATUS "${bin}/lumora --site http://127.0.0.1:9/: started, asked for the login page")
