#include "base/handles.h"
#include "base/registry.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr const wchar_t* kKey = L"Software\\Tamrick\\registry-test";

// Writes the key's default value as raw bytes of the given type.
void WriteDefault(DWORD type, const void* bytes, DWORD size) {
    tamrick::UniqueKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              key.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.get(), nullptr, 0, type, static_cast<const BYTE*>(bytes), size),
              ERROR_SUCCESS);
}

class Registry : public testing::Test {
  protected:
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Tamrick"); }
};

} // namespace

TEST_F(Registry, TheDefaultStringIsReadWithOrWithoutItsTerminator) {
    const std::wstring value = L"CorelDRAW.Application.22";
    WriteDefault(REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    EXPECT_EQ(tamrick::RegistryDefaultString(HKEY_CURRENT_USER, kKey), value);
    // Stored without its terminator, as some writers do: read to its length, nothing more.
    WriteDefault(REG_SZ, value.c_str(), static_cast<DWORD>(value.size() * sizeof(wchar_t)));
    EXPECT_EQ(tamrick::RegistryDefaultString(HKEY_CURRENT_USER, kKey), value);
}

TEST_F(Registry, AMissingKeyOrAValueThatIsNoStringIsNothing) {
    EXPECT_EQ(tamrick::RegistryDefaultString(HKEY_CURRENT_USER, kKey), std::nullopt);
    const DWORD number = 17;
    WriteDefault(REG_DWORD, &number, sizeof number);
    EXPECT_EQ(tamrick::RegistryDefaultString(HKEY_CURRENT_USER, kKey), std::nullopt);
}
