#pragma once
// The run's world as plain fakes: each logs what the run does to it, one line a step, in order.

#include "base/error.h"
#include "install/host/host.h"
#include "install/reports.h"
#include "install/run.h"

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace tamrick::test {

using Log = std::vector<std::wstring>;

class FakeWindow : public RunWindow {
  public:
    explicit FakeWindow(Log& log) : log_(log) {}
    bool Confirm(const std::wstring& text) override {
        log_.push_back(L"confirm " + text);
        return answerOk;
    }
    void DisableButton() override { log_.push_back(L"disable"); }
    void SetCaption(const std::wstring& caption) override { log_.push_back(L"caption " + caption); }
    void PauseWithEvents(std::chrono::milliseconds d) override {
        log_.push_back(L"pause " + std::to_wstring(d.count()));
    }
    void ShowMessage(const std::wstring& text, MessageKind kind) override {
        log_.push_back((kind == MessageKind::Error ? L"error " : L"info ") + text);
    }
    void ReportMissingFile(const std::wstring& path) override {
        ShowMessage(MissingFileReport(path), MessageKind::Error);
    }
    void ReportBadFolder(const std::wstring& path, int major) override {
        ShowMessage(BadFolderReport(path, major), MessageKind::Error);
    }
    bool answerOk = true;

  private:
    Log& log_;
};

// One version of the host; `tag` (" 17") is added to what it logs, empty for X3.
class FakeHost : public Host {
  public:
    explicit FakeHost(Log& log, std::wstring tag = L"") : log_(log), tag_(std::move(tag)) {}
    void Open() override { log_.push_back(L"open" + tag_); }
    void SetInvisible() override { log_.push_back(L"invisible" + tag_); }
    std::optional<std::wstring> ResolveFolder(const std::wstring& key) override {
        if (!FolderForKey(key)) {
            return std::nullopt;
        }
        log_.push_back(L"resolve" + tag_ + L" " + key);
        return folders.at(key);
    }
    void ImportWorkspace(const std::wstring& path) override {
        log_.push_back(L"import" + tag_ + L" " + path);
    }
    void Release() noexcept override { log_.push_back(L"release" + tag_); }
    std::map<std::wstring, std::wstring> folders;

  private:
    Log& log_;
    std::wstring tag_;
};

class FakeFiles : public FileSystemOps {
  public:
    explicit FakeFiles(Log& log) : log_(log) {}
    bool FileExists(const std::wstring& path) override { return files.contains(path); }
    void CopyFileInto(const std::wstring& source, const std::wstring& folder) override {
        const std::wstring name = source.substr(source.rfind(L'\\') + 1);
        if (failing.contains(folder + name)) {
            throw Error(70, L"拒绝访问。");
        }
        log_.push_back(L"copy " + source + L" -> " + folder);
        files.insert(folder + name);
    }
    void RemoveFile(const std::wstring& path) override {
        log_.push_back(L"delete " + path);
        files.erase(path);
    }
    std::set<std::wstring> files;
    std::set<std::wstring> failing;

  private:
    Log& log_;
};

class FakeCloser : public HostCloser {
  public:
    explicit FakeCloser(Log& log) : log_(log) {}
    void StartClosingHost() override {
        if (failsToStart) {
            throw Error(53, L"系统找不到指定的文件。");
        }
        log_.push_back(L"close host");
    }
    bool failsToStart = false;

  private:
    Log& log_;
};

} // namespace tamrick::test
