// The cabinet writer on Linux: libgcab, which streams every file through zlib's deflate.

#include "cabinet.h"

#include "base/unique_resource.h"
#include "description/decode.h"
#include "files.h"

#include <libgcab.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace tamrick {
namespace {

template <typename T> using GObjectPtr = UniqueValue<T*, &::g_object_unref>;

[[noreturn]] void Fail(const std::string& what, GError* error) {
    const UniqueValue<GError*, &::g_error_free> owned(error);
    throw std::runtime_error(what +
                             (owned ? std::string(": ") + owned.get()->message : std::string()));
}

} // namespace

void WriteCabinet(const std::vector<CabinetEntry>& entries, const std::wstring& cabinet) {
    // The date of every file: fixed, so that a folder packs to the same bytes whenever it is
    // packed.
    const UniqueValue<GDateTime*, &::g_date_time_unref> date(
        g_date_time_new_utc(2000, 1, 1, 0, 0, 0));
    const GObjectPtr<GCabCabinet> cab(gcab_cabinet_new());
    // Owned by the cabinet once added.
    GCabFolder* folder = gcab_folder_new(GCAB_COMPRESSION_MSZIP);
    GError* error = nullptr;
    if (!gcab_cabinet_add_folder(cab.get(), folder, &error)) {
        g_object_unref(folder);
        Fail("the cabinet can't be started", error);
    }
    g_object_unref(folder);
    for (const CabinetEntry& entry : entries) {
        const GObjectPtr<GFile> source(g_file_new_for_path(ToUtf8(entry.source).c_str()));
        const GObjectPtr<GCabFile> file(
            gcab_file_new_with_file(ToUtf8(entry.name).c_str(), source.get()));
        if (!gcab_folder_add_file(folder, file.get(), FALSE, nullptr, &error)) {
            Fail(ToUtf8(entry.name) + " can't be added", error);
        }
        gcab_file_set_date_time(file.get(), date.get());
        // Names are UTF-8 (_A_NAME_IS_UTF); nothing else of the file's attributes goes in.
        gcab_file_set_attributes(file.get(), 0x80);
    }
    // Made here first, for the system's reason when it can't be: GIO's message would name the
    // file, which is the caller's temporary one and means nothing to the packager.
    const int made =
        ::open(ToUtf8(cabinet).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (made < 0 || ::close(made) != 0) {
        throw std::runtime_error(std::error_code(errno, std::generic_category()).message());
    }
    const GObjectPtr<GFile> out(g_file_new_for_path(ToUtf8(cabinet).c_str()));
    const GObjectPtr<GFileOutputStream> stream(
        g_file_replace(out.get(), nullptr, FALSE, G_FILE_CREATE_NONE, nullptr, &error));
    if (!stream) {
        g_clear_error(&error);
        throw std::runtime_error("the file can't be made");
    }
    if (!gcab_cabinet_write_simple(cab.get(), G_OUTPUT_STREAM(stream.get()), nullptr, nullptr,
                                   nullptr, &error) ||
        !g_output_stream_close(G_OUTPUT_STREAM(stream.get()), nullptr, &error)) {
        Fail("the cabinet can't be written", error);
    }
}

} // namespace tamrick
