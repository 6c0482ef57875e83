// DoImport: the whole import of one scene file into the host's scene.
#include <optional>
#include <utility>

#include "import/conversions.h"
#include "scenefile/globals.h"
#include "scenefile/scene_reader.h"
#include "shell/clsPlugin.h"
#include "shell/err_handler.h"

namespace imp_kzv {
namespace {

using import::colour_byte;
using import::record_at;
using import::record_of;

std::array<double, 3> matrix_row(const std::array<std::array<float, 3>, 4>& m, std::size_t row) {
    return {m[row][0], m[row][1], m[row][2]};
}

}  // namespace

void clsPlugin::ImportCameras() {
    SceneCalls& host = Scene();
    const auto& cameras = World().View_CameraList();
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        const p3dCamera& camera = record_at(cameras, static_cast<std::int64_t>(i), "camera");
        const tessavo::Handle h = host.CreateCamera(camera.name);
        const auto m = camera.Get_p3dTransMatrix();
        host.SetCameraPosition(h, m[3][0], m[3][1], m[3][2]);
        host.SetCameraAxes(h, matrix_row(m, 2), matrix_row(m, 0), matrix_row(m, 1));
        host.SetCameraFov(h, camera.fov);
        host.SetCameraRange(h, camera.nearRange);
        host.SetCameraMode(h, 1);
        host.AddCameraToWorld(h);
    }
}

void clsPlugin::ImportLights() {
    SceneCalls& host = Scene();
    const auto& lights = World().View_LightList();
    for (std::size_t i = 0; i < lights.size(); ++i) {
        const p3dLight& light = record_at(lights, static_cast<std::int64_t>(i), "light");
        const p3dPt3D& loc = record_of(light.loc, "position of light", static_cast<std::int64_t>(i));
        const tessavo::Handle h = host.CreateLight(light.name, {loc.x, loc.y, loc.z});
        const p3dPt3D& c = record_of(light.color, "colour of light", static_cast<std::int64_t>(i));
        host.SetLightColor(h, {colour_byte(c.x, "light colour red"), colour_byte(c.y, "light colour green"),
                               colour_byte(c.z, "light colour blue")});
        host.SetLightIntensity(h, light.intensity);
        host.SetLightIntensity2(h, light.intensity);
        host.SetLightRange(h, light.maxDist);
        host.AddLightToWorld(h);
    }
}

void clsPlugin::ImportTracks() {
    SceneCalls& host = Scene();
    std::vector<double> coordinates;
    const auto& tracks = World().View_TrackList();
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const p3dTrack& track = record_at(tracks, static_cast<std::int64_t>(i), "track");
        const auto& points = track.View_PointList();
        coordinates.clear();
        coordinates.reserve(3 * points.size());
        for (std::size_t j = 0; j < points.size(); ++j) {
            const p3dPt3D& p = record_at(points, static_cast<std::int64_t>(j), "track point");
            coordinates.insert(coordinates.end(), {p.x, p.y, p.z});
        }
        const tessavo::Handle h =
            host.CreateTrack(track.name, track.cyclic, coordinates, static_cast<std::int32_t>(points.size()));
        host.AddTrackToWorld(h);
    }
}

// Texture names are joined to the folder exactly as they stand: the host resolves the result.
void clsPlugin::LoadMaterialBitmaps(const std::string& textureFolder) {
    SceneCalls& host = Scene();
    const auto& materials = World().View_MaterialList();
    for (std::size_t i = 0; i < materials.size(); ++i) {
        p3dMaterial& material = record_at(materials, static_cast<std::int64_t>(i), "material");
        if (material.textureUsed != 0)
            material.stateBitmapHandle =
                host.LoadBitmap(textureFolder + material.textureName, tessavo::kTrue);
        if (material.texture2Used != 0)
            material.stateBitmap2Handle =
                host.LoadBitmap(textureFolder + material.texture2Name, tessavo::kTrue);
    }
}

void clsPlugin::PostNotice(const char* text) {
    std::int32_t kind = tessavo::kMessageNotice;
    Scene().ReportMessage(text, kind);
}

bool clsPlugin::DoImport(const std::string& fileName) {
    return RunImport(fileName, nullptr);
}

bool clsPlugin::DoImport(const std::string& fileName, std::span<const std::byte> sceneBytes) {
    return RunImport(fileName, &sceneBytes);
}

// The world an import walks: held for the walk's length, so that a host callback that starts another
// import on this object (which replaces the current world) cannot free it under the walk. The nested
// import walks its own world and puts this one back when it ends.
class clsPlugin::WorldWalk {
  public:
    WorldWalk(clsPlugin& plugin, std::shared_ptr<p3dWorld> world)
        : plugin_(plugin),
          world_(std::move(world)),
          outer_(std::exchange(plugin.walked_world_, world_.get())) {}
    ~WorldWalk() { plugin_.walked_world_ = outer_; }
    WorldWalk(const WorldWalk&) = delete;
    WorldWalk& operator=(const WorldWalk&) = delete;

  private:
    clsPlugin& plugin_;
    std::shared_ptr<p3dWorld> world_;
    p3dWorld* outer_;
};

bool clsPlugin::RunImport(const std::string& fileName, const std::span<const std::byte>* sceneBytes) {
    bool result = false;
    std::optional<SceneReader> file;
    try {
        SceneCalls& host = Scene();
        const SceneCalls::Hold held(host);  // one counted reference for the whole import, not one per call
        host.ShowProgress(tessavo::kTrue);
        import_progress_counter_ = 0;
        import_work_done_ = 0;
        current_world_ = std::make_shared<p3dWorld>();
        const WorldWalk walk(*this, current_world_);
        p3dWorld& world = World();

        file.emplace(sceneBytes != nullptr ? SceneReader(*sceneBytes)
                                           : SceneReader::open_file(fileName, import::engine_source()));
        world.Read(*file);
        file.reset();

        const std::int32_t meshCount = world.Get_MeshListCount();
        if (meshCount > 0) host.SetProgressMax(meshCount);
        ImportCameras();
        PostNotice("Imported Cameras");
        ImportLights();
        PostNotice("Imported Lights");
        ImportTracks();
        PostNotice("Imported Tracks");

        const p3dGroup& root = record_at(world.View_GroupList(), 0, "root group index");
        LoadMaterialBitmaps(GetFolderOfPath(fileName) + "Bitmaps\\");
        const tessavo::Handle rootHandle = p3dGroupEnum(root, 0);
        host.AddGroupToWorld(rootHandle, 0);

        result = true;
        host.ShowProgress(tessavo::kFalse);
        return result;
    } catch (...) {
        ErrorValue error = CurrentError(import::engine_source());
        // The handler has no handler of its own: a failure to hide the progress display leaves DoImport
        // towards the import command, as any error outside DoImport's body would.
        Scene().ShowProgress(tessavo::kFalse);
        file.reset();
        ReportErrToHost(std::move(error), "clsPlugin", "DoImport");
        return result;
    }
}

}  // namespace imp_kzv
