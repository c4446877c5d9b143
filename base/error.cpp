#include "error.h"

namespace tamrick {

std::wstring UnhandledErrorText(std::int32_t number, std::wstring_view description) {
    return L"运行时错误 '" + std::to_wstring(number) + L"':\r\n\r\n" + std::wstring(description);
}

} // namespace tamrick
