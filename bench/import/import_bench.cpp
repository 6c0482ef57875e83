// The whole import (read the file, then every host call) into a host that does nothing: a grid of
// about 1,000,000 triangles with normals, both texture-coordinate sets and colours, and group trees of
// growing size, to show that the cost grows linearly with the scene. Then the reference host's side:
// the same grids imported into its in-memory scene, and written as .glb.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <filesystem>
#include <string>

#include "null_host.h"
#include "scenewriter/sample_scenes.h"
#include "scenewriter/scene_writer.h"
#include "shell/clsPlugin.h"
#include "tessavo/user_interface.h"

#ifdef KZV_BENCH_HOST
#include "host/gltf/gltf_writer.h"
#include "host/scene/scene_host.h"
#endif

namespace {

using namespace imp_kzv;

class AnswerPath final : public tessavo::RefCounted<tessavo::IUserInterface> {
  public:
    explicit AnswerPath(std::string path) : path_(std::move(path)) {}
    tessavo::Status OpenFileDialog(const std::string&, std::string& chosen) noexcept override {
        chosen = path_;
        return {};
    }
    tessavo::Status MessageBox(const std::string& text, tessavo::MessageIcon,
                               const std::string&) noexcept override {
        last_message = text;
        return {};
    }
    std::string last_message;

  private:
    std::string path_;
};

std::string WriteTemp(const p3dWorld& world, const std::string& name) {
    const auto path = (std::filesystem::temp_directory_path() / name).string();
    scenewriter::WriteSceneFile(world, path);
    return path;
}

// Imports path once into `app` through a new plug-in object.
void ImportOnce(tessavo::IHostApplication* app, const AnswerPath& ui, benchmark::State& state) {
    tessavo::Ref<clsPlugin> plugin;
    (void)clsPlugin::Create(plugin);
    (void)plugin->SetHost(app);
    std::int32_t result = 0;
    (void)plugin->Import(result);
    if (ui.last_message != "Import Complete") state.SkipWithError("the import failed");
}

void SetRates(benchmark::State& state, const std::string& path, std::int64_t polygons) {
    state.counters["triangles/s"] =
        benchmark::Counter(static_cast<double>(polygons), benchmark::Counter::kIsRate);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

// Imports path once per iteration into a fresh null host; counts polygons.
void RunImports(benchmark::State& state, const std::string& path) {
    auto ui = tessavo::MakeRef<AnswerPath>(path);
    tessavo::ScopedUserInterface scoped(ui.get());
    std::int64_t polygons = 0;
    for (auto _ : state) {
        auto host = tessavo::MakeRef<kzv_test::NullHost>();
        ImportOnce(host.get(), *ui, state);
        polygons += host->polygons;
    }
    SetRates(state, path, polygons);
}

std::string GridFile(std::int32_t columns) {
    return WriteTemp(*scenewriter::MakeGridWorld(columns, columns / 2),
                     "kzv_bench_import_" + std::to_string(columns) + ".KZV");
}

void AddPeakMemory(benchmark::State& state) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_ImportGrid(benchmark::State& state) {
    const std::string path = GridFile(static_cast<std::int32_t>(state.range(0)));
    RunImports(state, path);
    std::filesystem::remove(path);
    AddPeakMemory(state);
}
// 100 x 50 quads = 10,000 triangles; 1000 x 500 quads = 1,000,000 triangles.
BENCHMARK(BM_ImportGrid)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

#ifdef KZV_BENCH_HOST
// The same grids into the reference host's in-memory scene: the host's share of the import.
void BM_ImportGridIntoScene(benchmark::State& state) {
    const std::string path = GridFile(static_cast<std::int32_t>(state.range(0)));
    auto ui = tessavo::MakeRef<AnswerPath>(path);
    tessavo::ScopedUserInterface scoped(ui.get());
    std::int64_t polygons = 0;
    for (auto _ : state) {
        auto host = kzv::host::SceneHost::create();
        ImportOnce(host.get(), *ui, state);
        polygons += static_cast<std::int64_t>(host->scene().polygons.size());
    }
    SetRates(state, path, polygons);
    std::filesystem::remove(path);
    AddPeakMemory(state);
}
BENCHMARK(BM_ImportGridIntoScene)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// Writing the imported grids as .glb.
void BM_WriteGlb(benchmark::State& state) {
    const std::string path = GridFile(static_cast<std::int32_t>(state.range(0)));
    auto ui = tessavo::MakeRef<AnswerPath>(path);
    tessavo::ScopedUserInterface scoped(ui.get());
    auto host = kzv::host::SceneHost::create();
    ImportOnce(host.get(), *ui, state);
    const std::string output = path + ".glb";
    for (auto _ : state) {
        const kzv::host::WriteOutcome outcome = kzv::host::write_gltf(host->scene(), output);
        if (!outcome.ok) state.SkipWithError(outcome.error.c_str());
    }
    state.counters["triangles/s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * host->scene().polygons.size()), benchmark::Counter::kIsRate);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(output)));
    std::filesystem::remove(path);
    std::filesystem::remove(output);
}
BENCHMARK(BM_WriteGlb)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
#endif

// A tree of n groups (each the child of group (i - 1) / 2) with one mesh instance each, all sharing
// one small geometry: time per group must stay flat as n grows.
void BM_ImportGroupTree(benchmark::State& state) {
    const auto n = static_cast<std::int32_t>(state.range(0));
    const auto world = scenewriter::MakeGroupTreeWorld(n);
    const std::string path = WriteTemp(*world, "kzv_bench_tree_" + std::to_string(n) + ".KZV");
    RunImports(state, path);
    std::filesystem::remove(path);
    state.SetComplexityN(n);
}
BENCHMARK(BM_ImportGroupTree)
    ->RangeMultiplier(10)
    ->Range(100, 100'000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
