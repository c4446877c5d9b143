#include "record_store_win32.h"

#include "base/decimal.h"
#include "base/error.h"
#include "base/executable_path.h"
#include "base/folder_security_win32.h"
#include "base/handles.h"
#include "base/system_error.h"
#include "base/text_case.h"
#include "base/text_encoding.h"
#include "description/platform.h"
#include "install/file_ops_win32.h"

#include <windows.h>

#include <shlobj.h>
#include <wincrypt.h>

#include <array>

namespace tamrick {
namespace {

// Apps & features leaves out an entry whose name is longer.
constexpr std::size_t kDisplayNameLimit = 259;

void ReleaseProvider(HCRYPTPROV provider) {
    CryptReleaseContext(provider, 0);
}
using UniqueCryptProvider = UniqueValue<HCRYPTPROV, &ReleaseProvider>;
using UniqueCryptHash = UniqueValue<HCRYPTHASH, &::CryptDestroyHash>;

void ThrowUnlessNothingThere() {
    const DWORD error = GetLastError();
    if (!MeansNothingThere(error)) {
        ThrowWin32(error);
    }
}

// A folder made when it isn't there.
void MakeFolder(std::wstring path, PSECURITY_DESCRIPTOR security) {
    if (path.ends_with(L'\\')) {
        path.pop_back();
    }
    const DWORD error = CreateFolder(path, security);
    if (error != 0 && error != ERROR_ALREADY_EXISTS) {
        ThrowWin32(error);
    }
}

void MakeWritable(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesW(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }
}

void FlushFile(const std::wstring& path) {
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || !FlushFileBuffers(file.get())) {
        ThrowLastError();
    }
}

std::wstring ShellFolder(int csidl) {
    std::array<wchar_t, MAX_PATH> path{};
    const HRESULT hr = SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr,
                                        SHGFP_TYPE_CURRENT, path.data());
    ThrowIfFailed(hr);
    return path.data();
}

class Win32RecordStore final : public RecordStore {
  public:
    Win32RecordStore(RecordPlace place, std::wstring addonId)
        : place_(std::move(place)), addonId_(std::move(addonId)),
          record_(place_.folder + kRecordName), backups_(place_.folder + kBackupsName + L"\\"),
          uninstaller_(place_.folder + kUninstallerName), files_(MakeWin32FileSystem()) {}

    std::wstring RecordPath() const override { return record_; }

    std::optional<std::string> ReadRecord() override {
        // No folder yet means no record either.
        if (GetFileAttributesW(record_.c_str()) == INVALID_FILE_ATTRIBUTES) {
            ThrowUnlessNothingThere();
            return std::nullopt;
        }
        FileBytes file = ReadWholeFile(record_);
        if (file.status == ReadStatus::NotFound) {
            return std::nullopt;
        }
        if (file.status != ReadStatus::Ok) {
            ThrowLastError();
        }
        if (addonId_.empty()) {
            // The uninstaller's store: the add-on and its scope are the record's.
            const std::string_view bytes = file.bytes;
            const std::size_t end = bytes.find('\n');
            if (end != std::string_view::npos) {
                if (const std::optional<Record> header =
                        ParseRecord(std::string(bytes.substr(0, end + 1)))) {
                    addonId_ = header->addonId;
                    place_.scope = header->scope;
                }
            }
        }
        return std::move(file.bytes);
    }

    void CutRecord(std::size_t size) override {
        appending_.reset();
        const UniqueHandle file(CreateFileW(record_.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                            nullptr));
        LARGE_INTEGER at{};
        at.QuadPart = static_cast<LONGLONG>(size);
        if (!file || !SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) ||
            !SetEndOfFile(file.get()) || !FlushFileBuffers(file.get())) {
            ThrowLastError();
        }
    }

    void Append(std::string_view line) override {
        pending_ += line;
        pending_ += '\n';
    }

    void Flush() override {
        if (pending_.empty()) {
            return;
        }
        if (!appending_) {
            MakeRecordFolder();
            appending_.reset(CreateFileW(record_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!appending_) {
                ThrowLastError();
            }
        }
        DWORD written = 0;
        if (!WriteFile(appending_.get(), pending_.data(), static_cast<DWORD>(pending_.size()),
                       &written, nullptr) ||
            written != pending_.size() || !FlushFileBuffers(appending_.get())) {
            ThrowLastError();
        }
        pending_.clear();
    }

    std::optional<std::string> HashOf(const std::wstring& path) override {
        const UniqueHandle file(CreateFileW(
            path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!file) {
            ThrowUnlessNothingThere();
            return std::nullopt;
        }
        UniqueCryptHash hash;
        if (!CryptCreateHash(Provider(), CALG_SHA_256, 0, 0, hash.put())) {
            ThrowLastError();
        }
        for (;;) {
            DWORD got = 0;
            if (!ReadFile(file.get(), buffer_.data(), static_cast<DWORD>(buffer_.size()), &got,
                          nullptr)) {
                ThrowLastError();
            }
            if (got == 0) {
                break;
            }
            if (!CryptHashData(hash.get(), buffer_.data(), got, 0)) {
                ThrowLastError();
            }
        }
        std::array<BYTE, 32> digest{};
        DWORD size = static_cast<DWORD>(digest.size());
        if (!CryptGetHashParam(hash.get(), HP_HASHVAL, digest.data(), &size, 0)) {
            ThrowLastError();
        }
        std::string hex;
        for (const BYTE b : digest) {
            constexpr char kDigits[] = "0123456789abcdef";
            hex += kDigits[b >> 4];
            hex += kDigits[b & 15];
        }
        return hex;
    }

    bool FileExists(const std::wstring& path) override { return files_->FileExists(path); }

    std::uint64_t SizeOf(const std::wstring& path) override {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
            ThrowLastError();
        }
        return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    }

    void RemoveFile(const std::wstring& path) override { files_->RemoveFile(path); }

    void SaveBackup(const std::wstring& path, std::uint64_t id) override {
        MakeRecordFolder();
        MakeFolder(backups_, nullptr);
        const std::wstring backup = Backup(id);
        const std::wstring partial = backup + L".tmp";
        MakeWritable(partial);
        // The attributes come along: a read-only file comes back read-only.
        if (!CopyFileW(path.c_str(), partial.c_str(), FALSE)) {
            ThrowLastError();
        }
        MakeWritable(backup);
        FlushFile(partial);
        if (!MoveFileExW(partial.c_str(), backup.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            ThrowLastError();
        }
    }

    std::optional<std::string> BackupHash(std::uint64_t id) override { return HashOf(Backup(id)); }

    void RestoreBackup(std::uint64_t id, const std::wstring& path) override {
        MakeWritable(path);
        if (!MoveFileExW(Backup(id).c_str(), path.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED |
                             MOVEFILE_WRITE_THROUGH)) {
            ThrowLastError();
        }
    }

    void DropBackup(std::uint64_t id) override {
        const std::wstring backup = Backup(id);
        MakeWritable(backup);
        if (!DeleteFileW(backup.c_str())) {
            ThrowUnlessNothingThere();
        }
    }

    void PlaceUninstaller() override {
        MakeRecordFolder();
        const std::wstring self = ExecutablePath();
        if (EqualsIgnoringAsciiCase(self, uninstaller_)) {
            return;
        }
        const std::wstring partial = uninstaller_ + L".tmp";
        if (!CopyFileW(self.c_str(), partial.c_str(), FALSE)) {
            ThrowLastError();
        }
        if (!MoveFileExW(partial.c_str(), uninstaller_.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            ThrowLastError();
        }
    }

    void WriteEntry(const EntryValues& values) override {
        UniqueKey key;
        const LSTATUS status =
            RegCreateKeyExW(Root(), UninstallKeyPath(addonId_).c_str(), 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, key.put(), nullptr);
        if (status != ERROR_SUCCESS) {
            key.release();
            ThrowWin32(static_cast<DWORD>(status));
        }
        std::wstring folder = place_.folder;
        folder.pop_back();
        SYSTEMTIME now{};
        GetLocalTime(&now);
        // YYYYMMDD.
        const unsigned digits = now.wYear * 10000u + now.wMonth * 100u + now.wDay;
        const std::wstring date = DecimalText(digits);
        SetString(key.get(), L"DisplayName", values.displayName.substr(0, kDisplayNameLimit));
        SetString(key.get(), L"DisplayVersion", values.displayVersion);
        SetString(key.get(), L"Publisher", values.publisher);
        SetString(key.get(), L"DisplayIcon", uninstaller_ + L",0");
        SetString(key.get(), L"UninstallString", UninstallString(uninstaller_));
        SetString(key.get(), L"QuietUninstallString", QuietUninstallString(uninstaller_));
        SetString(key.get(), L"InstallLocation", folder);
        SetString(key.get(), L"InstallDate", date);
        SetNumber(key.get(), L"EstimatedSize",
                  static_cast<DWORD>((values.estimatedBytes + 1023) / 1024));
        SetNumber(key.get(), L"NoModify", 1);
        SetNumber(key.get(), L"NoRepair", 1);
    }

    void RemoveEntry() override {
        const LSTATUS status = RegDeleteKeyW(Root(), UninstallKeyPath(addonId_).c_str());
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
            ThrowWin32(static_cast<DWORD>(status));
        }
    }

    void RemoveRecordFolder() override {
        appending_.reset();
        RemoveOwnBackups();
        if (!DeleteFileW(record_.c_str())) {
            ThrowUnlessNothingThere();
        }
        RemoveUninstaller();
        // Only when empty: whatever somebody else put there stays.
        if (!RemoveDirectoryW(place_.folder.c_str())) {
            ThrowUnlessNothingThere();
        }
        RemoveDirectoryW(TamrickFolder().c_str()); // once no add-on is left in it
    }

  private:
    HKEY Root() const {
        return place_.scope == RecordScope::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    }

    // The folder that holds every add-on's record folder.
    std::wstring TamrickFolder() const {
        const std::wstring folder = place_.folder.substr(0, place_.folder.size() - 1);
        return folder.substr(0, folder.find_last_of(L'\\'));
    }

    std::wstring Backup(std::uint64_t id) const { return backups_ + DecimalText(id); }

    HCRYPTPROV Provider() {
        if (!provider_ && !CryptAcquireContextW(provider_.put(), nullptr, nullptr, PROV_RSA_AES,
                                                CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
            provider_.release();
            ThrowLastError();
        }
        return provider_.get();
    }

    void MakeRecordFolder() {
        if (folderMade_) {
            return;
        }
        MakeFolder(TamrickFolder(), nullptr);
        if (place_.scope == RecordScope::Machine) {
            const ProtectedFolderSecurity security;
            if (security.get() == nullptr) {
                ThrowWin32(security.error());
            }
            MakeFolder(place_.folder, security.get());
        } else {
            MakeFolder(place_.folder, nullptr);
        }
        folderMade_ = true;
    }

    // The backups' folder holds only the names we give: "<id>" and "<id>.tmp".
    void RemoveOwnBackups() {
        WIN32_FIND_DATAW found{};
        UniqueFindHandle find(FindFirstFileW((backups_ + L"*").c_str(), &found));
        if (!find) {
            ThrowUnlessNothingThere();
            return;
        }
        do {
            std::wstring_view name = found.cFileName;
            if (name.ends_with(L".tmp")) {
                name.remove_suffix(4);
            }
            const bool ours = !name.empty() &&
                              (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                              name.find_first_not_of(L"0123456789") == std::wstring_view::npos;
            if (ours) {
                const std::wstring path = backups_ + found.cFileName;
                MakeWritable(path);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find.get(), &found));
        find.reset();
        if (!RemoveDirectoryW(backups_.c_str())) {
            ThrowUnlessNothingThere();
        }
    }

    // A running program can't be deleted, but it can be renamed on its volume: the uninstaller
    // moves itself into the temporary folder, which Windows empties of it at the next start.
    void RemoveUninstaller() {
        DeleteFileW((uninstaller_ + L".tmp").c_str());
        if (!EqualsIgnoringAsciiCase(ExecutablePath(), uninstaller_)) {
            if (!DeleteFileW(uninstaller_.c_str())) {
                ThrowUnlessNothingThere();
            }
            return;
        }
        std::array<wchar_t, MAX_PATH + 1> temp{};
        const DWORD length = GetTempPathW(static_cast<DWORD>(temp.size()), temp.data());
        const std::wstring parked = std::wstring(temp.data(), length) + L"Tamrick-" + addonId_ +
                                    L"-" + DecimalText(GetCurrentProcessId()) + L".exe";
        if (length > 0 && length < temp.size() &&
            MoveFileExW(uninstaller_.c_str(), parked.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            ScheduleRemoval(parked);
            return;
        }
        // Another volume: the uninstaller and its folder go at the next start instead.
        ScheduleRemoval(uninstaller_);
        ScheduleRemoval(place_.folder.substr(0, place_.folder.size() - 1));
    }

    // Only administrators may have Windows delete a file at its next start; a standard user's
    // parked uninstaller goes at the user's next logon.
    void ScheduleRemoval(const std::wstring& path) {
        if (MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
            return;
        }
        UniqueKey key;
        if (RegCreateKeyExW(HKEY_CURRENT_USER,
                            L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
            key.release();
            return;
        }
        const std::wstring command = L"cmd.exe /c del /f /q \"" + path + L"\"";
        SetString(key.get(), (L"Tamrick." + addonId_).c_str(), command);
    }

    static void SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
        const LSTATUS status =
            RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        if (status != ERROR_SUCCESS) {
            ThrowWin32(static_cast<DWORD>(status));
        }
    }
    static void SetNumber(HKEY key, const wchar_t* name, DWORD value) {
        const LSTATUS status = RegSetValueExW(key, name, 0, REG_DWORD,
                                              reinterpret_cast<const BYTE*>(&value), sizeof value);
        if (status != ERROR_SUCCESS) {
            ThrowWin32(static_cast<DWORD>(status));
        }
    }

    RecordPlace place_;
    std::wstring addonId_;
    std::wstring record_;
    std::wstring backups_;
    std::wstring uninstaller_;
    std::unique_ptr<FileSystemOps> files_;
    std::string pending_;
    UniqueHandle appending_;
    UniqueCryptProvider provider_;
    std::array<BYTE, 64 * 1024> buffer_{};
    bool folderMade_ = false;
};

} // namespace

RecordPlace RecordPlaceFor(const std::wstring& addonId) {
    RecordPlace place;
    place.scope = RunsAsAdministrator() ? RecordScope::Machine : RecordScope::User;
    place.folder = ShellFolder(place.scope == RecordScope::Machine ? CSIDL_COMMON_APPDATA
                                                                   : CSIDL_LOCAL_APPDATA) +
                   L"\\" + RecordFolderBelow(addonId);
    return place;
}

std::unique_ptr<RecordStore> MakeWin32RecordStore(RecordPlace place, std::wstring addonId) {
    return std::make_unique<Win32RecordStore>(std::move(place), std::move(addonId));
}

} // namespace tamrick
