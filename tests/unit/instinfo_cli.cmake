# Runs the instinfo program on folders as a packager would and checks exit status and output.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/good ${WORK}/empty ${WORK}/noitems)
file(WRITE ${WORK}/good/InstInfo.ini "setuptitle=Demo\nfileitem=c|a.gms|1|gmspath|Copying\n")
file(WRITE ${WORK}/noitems/InstInfo.ini "setuptitle=Demo\n")

function(expect_run expected_rc expected_text)
    execute_process(COMMAND ${INSTINFO} ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL expected_rc)
        message(FATAL_ERROR "instinfo ${ARGN}: exit ${rc}, expected ${expected_rc}\n${out}${err}")
    endif()
    if(NOT "${out}${err}" MATCHES "${expected_text}")
        message(FATAL_ERROR "instinfo ${ARGN}: output lacks '${expected_text}'\n${out}${err}")
    endif()
endfunction()

# A usage error: nothing on standard output; on standard error what was wrong, then the pointer
# to the usage; exit status 2.
function(expect_usage_error expected_text)
    execute_process(COMMAND ${INSTINFO} ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 2 OR NOT out STREQUAL "" OR NOT err MATCHES "^${expected_text}\nRun \"instinfo --help\" for the usage\\.\n$")
        message(FATAL_ERROR "instinfo ${ARGN}: exit ${rc}, expected 2 and '${expected_text}' alone on stderr\nstdout: ${out}\nstderr: ${err}")
    endif()
endfunction()

# --help and --version answer on standard output.
foreach(asked --help -h "check;--help")
    execute_process(COMMAND ${INSTINFO} ${asked} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0 OR NOT out MATCHES "^usage: instinfo show" OR NOT err STREQUAL "")
        message(FATAL_ERROR "instinfo ${asked}: exit ${rc}\nstdout: ${out}\nstderr: ${err}")
    endif()
endforeach()
execute_process(COMMAND ${INSTINFO} --version RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "instinfo ${VERSION}\n" OR NOT err STREQUAL "")
    message(FATAL_ERROR "instinfo --version: exit ${rc}\nstdout: ${out}\nstderr: ${err}")
endif()

expect_run(0 "\"result\": true" show ${WORK}/good)
expect_run(1 "\"message\": \"[^\"]*InstInfo.ini" show ${WORK}/empty)
expect_run(1 "\"fileItems\": null" show ${WORK}/noitems)
# Code page 936 and UTF-16 descriptions read as the installer reads them.
expect_run(0 "\"setupTitle\": \"我的插件\".*\"sourceName\": \"宏.gms\".*\"stepCaption\": \"安装宏\"" show ${DATA}/cp936)
expect_run(0 "\"encoding\": \"utf-16le\".*\"action\": \"k\", \"sourceName\": \"旧.gms\"" show ${DATA}/utf16)

# check: findings line by line; the exit status says whether there is an error.
set(DEMO ${DATA}/../../demo)
file(MAKE_DIRECTORY ${WORK}/warnonly)
file(WRITE ${WORK}/warnonly/InstInfo.ini "FileItem=c|a.gms|1 |GMSPath\r\n")
file(WRITE ${WORK}/warnonly/a.gms "x")
expect_run(1 "\"line\": 12, \"severity\": \"warning\", \"code\": \"unknown-target\".*\"errors\": 1" check --json ${DATA}/mistakes)
expect_run(0 "Required \"1 \" is not \"1\"" check ${WORK}/warnonly)
expect_run(1 "0 errors, 1 warning" check --strict ${WORK}/warnonly)

# plan: the run step by step, down to its last message.
expect_run(1 "message \\(error\\): 本程序只能在安装有 CorelDRAW X7、2020 的系统中使用。\n.*outcome: error" plan ${DEMO} --installed none)
expect_usage_error("instinfo plan: --installed \"X99x\": expected versions as HostVersions writes them \\(X3 to X8, 2017 to 2025, 13 to 99, ranges A-B\\) or \"none\"" plan ${DEMO} --installed X99x)
expect_run(0 "copy [^\n]*TamrickTools.gms to C:\\\\Corel\\\\GMS\\\\TamrickTools.gms\n.*copy [^\n]*TamrickTools.gms to D:\\\\2020\\\\TamrickTools.gms\n" plan ${DEMO} --folder GMSPath=C:\\Corel\\GMS --folder 2020:gmspath=D:\\2020\\)
expect_run(1 "\"outcome\": \"abort\"" plan --json ${DATA}/mistakes)
expect_run(1 "not a picture.*运行时错误 '481':\n *\n *图片无效\n.*outcome: no-window" plan ${DATA}/badbanner)

# pack: a folder whose check finds an error is refused with the findings.
expect_run(1 "error: copy source \"a.gms\" is not in the folder.*refused: the check found 1 error; fix it, or pack anyway with --force" pack -o ${WORK}/good-setup.exe ${WORK}/good)
expect_run(1 "is not a folder" pack ${WORK}/nothing-here)
