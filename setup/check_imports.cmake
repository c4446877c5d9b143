# The setup program imports only DLLs that Windows treats as known system DLLs (anything else is
# loaded at run time from the system folder), and no function that Windows XP lacks.
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "objdump failed on ${PROGRAM}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" dlls "${dump}")
foreach(line ${dlls})
    string(REGEX REPLACE "DLL Name: " "" dll "${line}")
    string(TOLOWER "${dll}" dll)
    if(NOT dll MATCHES "^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|msvcrt)\\.dll$")
        message(FATAL_ERROR "the setup program imports ${dll}")
    endif()
endforeach()
foreach(newer GetTickCount64 CompareStringOrdinal LCMapStringEx SetDefaultDllDirectories
        InitializeConditionVariable SleepConditionVariableCS AcquireSRWLockExclusive
        InitOnceExecuteOnce GetFileInformationByHandleEx CreateSymbolicLinkW)
    if(dump MATCHES "[ \t]${newer}\n")
        message(FATAL_ERROR "the setup program imports ${newer}, which Windows XP lacks")
    endif()
endforeach()
message(STATUS "imports: ${dlls}")
