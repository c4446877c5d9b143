// The description reader's cost: decoding and parsing descriptions of 1 K, 100 K and 1 M items,
// written in ASCII, in code page 936 and in UTF-8.

#include "description/reader.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

enum Flavour { kAscii, kCp936, kUtf8 };

std::string MakeDescription(std::int64_t items, Flavour flavour) {
    // "安装宏" (install macro) in each encoding.
    const std::string caption = flavour == kCp936  ? "\xB0\xB2\xD7\xB0\xBA\xEA"
                                : flavour == kUtf8 ? "\xE5\xAE\x89\xE8\xA3\x85\xE5\xAE\x8F"
                                                   : "Installing macro";
    std::string text = "[Setup]\r\nSetupTitle=Benchmark add-on\r\nFlagsPicture=flags.bmp\r\n"
                       "[Files]\r\n";
    for (std::int64_t i = 0; i < items; ++i) {
        text += "FileItem=c|Macros\\Module" + std::to_string(i) + ".gms|1|GMSPath|" + caption +
                " " + std::to_string(i) + "\r\n";
    }
    return text;
}

void BM_ReadDescription(benchmark::State& state) {
    const std::string bytes = MakeDescription(state.range(0), static_cast<Flavour>(state.range(1)));
    for (auto _ : state) {
        auto parsed = tamrick::ParseDescription(bytes);
        benchmark::DoNotOptimize(parsed);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
    state.counters["items"] = static_cast<double>(state.range(0));
}

BENCHMARK(BM_ReadDescription)
    ->ArgNames({"items", "enc"})
    ->ArgsProduct({{1'000, 100'000, 1'000'000}, {kAscii, kCp936, kUtf8}})
    ->Unit(benchmark::kMillisecond)
    // Several iterations even for the largest: the first one pays for mapping fresh memory.
    ->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
