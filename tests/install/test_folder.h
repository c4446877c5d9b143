#pragma once
// A fresh folder per test in the build tree, and small file helpers for the tests.

#include "base/error.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The folder of the running test program, ending in a backslash.
std::wstring ProgramFolder();
// work\<test name>\ beside the test program, emptied (read-only files too) and created.
std::wstring FreshTestFolder();
void WriteTextFile(const std::wstring& path, const std::string& content);
std::string ReadTextFile(const std::wstring& path);
// The names in a folder, sorted.
std::vector<std::wstring> NamesIn(const std::wstring& folder);

// Runs an operation that must fail and returns its error.
template <typename Operation> tamrick::Error FailureOf(Operation operation) {
    try {
        operation();
    } catch (const tamrick::Error& e) {
        return e;
    }
    ADD_FAILURE() << "the operation succeeded";
    return tamrick::Error(0, L"");
}
