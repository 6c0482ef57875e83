// Reading a scene of about 1,000,000 triangles (normals, both texture coordinate sets, colours), from
// memory and from a file through the reader's buffer. Reports bytes/s and triangles/s; the counters
// also give the file size and the peak resident memory of the process.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "scenefile/p3dWorld.h"
#include "scenewriter/sample_scenes.h"
#include "scenewriter/scene_writer.h"

namespace {

using imp_kzv::p3dWorld;
using imp_kzv::SceneReader;

constexpr std::int32_t kColumns = 1000;
constexpr std::int32_t kRows = 500;  // 1000 x 500 quads = 1,000,000 triangles
constexpr double kTriangles = 2.0 * kColumns * kRows;

const std::vector<std::byte>& SceneBytes() {
    static const std::vector<std::byte> bytes =
        imp_kzv::scenewriter::WriteScene(*imp_kzv::scenewriter::MakeGridWorld(kColumns, kRows));
    return bytes;
}

const std::string& ScenePath() {
    static const std::string path = [] {
        const auto p = (std::filesystem::temp_directory_path() / "kzv_bench_1m.KZV").string();
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(SceneBytes().data()),
                  static_cast<std::streamsize>(SceneBytes().size()));
        return p;
    }();
    return path;
}

double PeakRssMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB on Linux
}

// Bytes in use by malloc now (glibc), to measure what a read world holds.
double HeapInUseMiB() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd) / (1024.0 * 1024.0);
}

void Report(benchmark::State& state) {
    const auto size = static_cast<std::int64_t>(SceneBytes().size());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * size);
    state.counters["triangles/s"] =
        benchmark::Counter(kTriangles * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["file_MiB"] = static_cast<double>(size) / (1024.0 * 1024.0);
    state.counters["peak_rss_MiB"] = PeakRssMiB();
}

void BM_ReadFromMemory(benchmark::State& state) {
    const auto& bytes = SceneBytes();
    for (auto _ : state) {
        SceneReader file(bytes);
        p3dWorld world;
        world.Read(file);
        benchmark::DoNotOptimize(world.View_MeshGeomList().data());
    }
    Report(state);
}
BENCHMARK(BM_ReadFromMemory)->Unit(benchmark::kMillisecond);

void BM_ReadFromFile(benchmark::State& state) {
    const std::string& path = ScenePath();
    double world_mib = 0;
    for (auto _ : state) {
        const double before = HeapInUseMiB();
        SceneReader file = SceneReader::open_file(path, "bench");
        p3dWorld world;
        world.Read(file);
        file.close();
        world_mib = std::max(world_mib, HeapInUseMiB() - before);
        benchmark::DoNotOptimize(world.View_MeshGeomList().data());
    }
    Report(state);
    state.counters["world_MiB"] = world_mib;  // memory that the read world holds
}
BENCHMARK(BM_ReadFromFile)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove(ScenePath());
    return 0;
}
