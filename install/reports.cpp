#include "reports.h"

namespace tamrick {

namespace {
constexpr const wchar_t* kContactAuthor = L"\r\n请联系软件作者寻求帮助。";
}

std::wstring MissingFileReport(const std::wstring& path) {
    return L"缺少安装必需的文件，文件(" + path + L")不存在。" + kContactAuthor;
}

std::wstring BadFolderReport(const std::wstring& path) {
    return L"CorelDRAW X3 可能没有正确安装，路径(" + path + L")不存在。" + kContactAuthor;
}

} // namespace tamrick
