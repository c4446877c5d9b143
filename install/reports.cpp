#include "reports.h"

namespace tamrick {

namespace {
constexpr const wchar_t* kContactAuthor = L"\r\n请联系软件作者寻求帮助。";
}

std::wstring MissingFileReport(const std::wstring& path) {
    return L"缺少安装必需的文件，文件(" + path + L")不存在。" + kContactAuthor;
}

std::wstring BadFolderReport(const std::wstring& path, int major) {
    return L"CorelDRAW " + HostVersionDisplayName(major) + L" 可能没有正确安装，路径(" + path +
           L")不存在。" + kContactAuthor;
}

std::wstring NoHostMessage(std::span<const int> majors) {
    return L"本程序只能在安装有 CorelDRAW " + HostVersionsPhrase(majors) + L" 的系统中使用。";
}

} // namespace tamrick
