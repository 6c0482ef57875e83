// DoImport: the whole import of one scene file into the host's scene.
#include <optional>

#include "import/conversions.h"
#include "scenefile/globals.h"
#include "scenefile/scene_reader.h"
#include "shell/clsPlugin.h"
#include "shell/err_handler.h"

namespace imp_kzv {
namespace {

using import::colour_byte;
using import::element_at;

std::array<double, 3> matrix_row(const std::array<std::array<float, 3>, 4>& m, std::size_t row) {
    return {m[row][0], m[row][1], m[row][2]};
}

}  // namespace

void clsPlugin::ImportCameras() {
    HostScene& host = Scene();
    for (const auto& camera : current_world_->View_CameraList()) {
        const tessavo::Handle h = host.CreateCamera(camera->name);
        const auto m = camera->Get_p3dTransMatrix();
        host.SetCameraPosition(h, m[3][0], m[3][1], m[3][2]);
        host.SetCameraAxes(h, matrix_row(m, 2), matrix_row(m, 0), matrix_row(m, 1));
        host.SetCameraFov(h, camera->fov);
        host.SetCameraRange(h, camera->nearRange);
        host.SetCameraMode(h, 1);
        host.AddCameraToWorld(h);
    }
}

void clsPlugin::ImportLights() {
    HostScene& host = Scene();
    for (const auto& light : current_world_->View_LightList()) {
        const p3dPt3D& loc = *light->loc;
        const tessavo::Handle h = host.CreateLight(light->name, {loc.x, loc.y, loc.z});
        const p3dPt3D& c = *light->color;
        host.SetLightColor(h, {colour_byte(c.x, "light colour red"), colour_byte(c.y, "light colour green"),
                               colour_byte(c.z, "light colour blue")});
        host.SetLightIntensity(h, light->intensity);
        host.SetLightIntensity2(h, light->intensity);
        host.SetLightRange(h, light->maxDist);
        host.AddLightToWorld(h);
    }
}

void clsPlugin::ImportTracks() {
    HostScene& host = Scene();
    std::vector<double> coordinates;
    for (const auto& track : current_world_->View_TrackList()) {
        const auto& points = track->View_PointList();
        coordinates.clear();
        coordinates.reserve(3 * points.size());
        for (const auto& p : points) coordinates.insert(coordinates.end(), {p->x, p->y, p->z});
        const tessavo::Handle h = host.CreateTrack(track->name, track->cyclic, coordinates,
                                                   static_cast<std::int32_t>(points.size()));
        host.AddTrackToWorld(h);
    }
}

// Texture names are joined to the folder exactly as they stand: the host resolves the result.
void clsPlugin::LoadMaterialBitmaps(const std::string& textureFolder) {
    HostScene& host = Scene();
    for (const auto& material : current_world_->View_MaterialList()) {
        if (material->textureUsed != 0)
            material->stateBitmapHandle =
                host.LoadBitmap(textureFolder + material->textureName, tessavo::kTrue);
        if (material->texture2Used != 0)
            material->stateBitmap2Handle =
                host.LoadBitmap(textureFolder + material->texture2Name, tessavo::kTrue);
    }
}

void clsPlugin::PostNotice(const char* text) {
    std::int32_t kind = tessavo::kMessageNotice;
    Scene().ReportMessage(text, kind);
}

bool clsPlugin::DoImport(const std::string& fileName) {
    bool result = false;
    std::optional<SceneReader> file;
    try {
        HostScene& host = Scene();
        const HostScene::Hold held(host);  // one counted reference for the whole import, not one per call
        host.ShowProgress(tessavo::kTrue);
        import_progress_counter_ = 0;
        import_work_done_ = 0;
        current_world_ = std::make_shared<p3dWorld>();

        file.emplace(SceneReader::open_file(fileName, import::engine_source()));
        current_world_->Read(*file);
        file.reset();

        const std::int32_t meshCount = current_world_->Get_MeshListCount();
        if (meshCount > 0) host.SetProgressMax(meshCount);
        ImportCameras();
        PostNotice("Imported Cameras");
        ImportLights();
        PostNotice("Imported Lights");
        ImportTracks();
        PostNotice("Imported Tracks");

        const p3dGroup& root = *element_at(current_world_->View_GroupList(), 0, "root group index");
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
