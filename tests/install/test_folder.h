#pragma once
// A fresh folder per test in the build tree, and the error of an operation that must fail.

#include "base/error.h"

#include <gtest/gtest.h>

#include <string>

// work\<test name>\ beside the test program, emptied (read-only files too) and created.
std::wstring FreshTestFolder();

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
