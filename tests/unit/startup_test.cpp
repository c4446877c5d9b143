#include "startup/app_folder.h"

#include <gtest/gtest.h>

using tamrick::AppFolderFromExecutable;
using tamrick::InstanceLockName;

TEST(AppFolder, IsTheExecutablesFolderWithItsSeparator) {
    EXPECT_EQ(AppFolderFromExecutable(L"C:\\Add-on\\Setup.exe", L'\\'), L"C:\\Add-on\\");
    EXPECT_EQ(AppFolderFromExecutable(L"\\\\server\\share\\Setup.exe", L'\\'),
              L"\\\\server\\share\\");
    EXPECT_EQ(AppFolderFromExecutable(L"/opt/addon/instinfo", L'/'), L"/opt/addon/");
}

TEST(InstanceLock, OneNamePerExecutablePathValidAsAKernelObjectName) {
    const auto a = InstanceLockName(L"C:\\ADDON-A\\SETUP.EXE");
    const auto b = InstanceLockName(L"C:\\ADDON-B\\SETUP.EXE");
    EXPECT_EQ(a, InstanceLockName(L"C:\\ADDON-A\\SETUP.EXE"));
    EXPECT_NE(a, b);
    // Only the namespace prefix may hold a backslash.
    EXPECT_EQ(a.rfind(L'\\'), std::wstring(L"Local").size());
    EXPECT_LT(a.size(), 260u);
}
