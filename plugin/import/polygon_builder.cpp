// CreateStatePolygon: one triangle record becomes one host polygon.
#include <array>

#include "import/conversions.h"
#include "shell/clsPlugin.h"
#include "shell/err_handler.h"

namespace imp_kzv {
namespace {

using import::colour_byte;
using import::colour_long;
using import::element_at;

// The five indices a corner uses, in the order the corners reach the host: 3, 2, 1.
struct CornerIndices {
    std::int32_t vertex, texCoord, normal, colour, texCoord2;
};

std::array<CornerIndices, 3> corners_in_host_order(const p3dTri& t) {
    return {{{t.iVert3, t.iTC3, t.iN3, t.iVC3, t.iTCs3},
             {t.iVert2, t.iTC2, t.iN2, t.iVC2, t.iTCs2},
             {t.iVert1, t.iTC1, t.iN1, t.iVC1, t.iTCs1}}};
}

constexpr std::int32_t kNone = -1;

}  // namespace

const p3dMaterial* clsPlugin::SelectMaterial(const p3dTri& tri, const MultiMaterial* multiMat,
                                             const MaterialList& materials) const {
    if (multiMat == nullptr || materials.empty()) return nullptr;
    const std::int32_t count = multiMat->GetMatCount();
    if (count == 0)
        raise(Err::DivisionByZero,
              "the triangle's material slot " + std::to_string(tri.iMat) +
                  " cannot be reduced by a multi-material without entries",
              import::engine_source());
    // Truncating division: the entry keeps the sign of iMat, so -1 stays -1 and fails the lookup.
    const std::int32_t entry = tri.iMat % count;
    const std::int32_t worldIndex = multiMat->Get_iMatIndx(entry);
    return &import::record_at(materials, worldIndex, "material index");
}

tessavo::Handle clsPlugin::CreateStatePolygon(const p3dTri& tri, const VertexList& vertexList,
                                              const Point2List& texCoordsList,
                                              const Point2List& texCoords2List, const Point3List& colorList,
                                              const MultiMaterial* multiMat) {
    try {
        SceneCalls& host = Scene();
        const MaterialList& materials = World().View_MaterialList();
        const tessavo::Handle polygon = host.CreatePolygon();

        // Working values, fresh per polygon: the texture point carries over between corners and the
        // normal keeps the last one looked up.
        float texU = 0.0f, texV = 0.0f;
        std::array<double, 3> normal{};
        const p3dMaterial* material = SelectMaterial(tri, multiMat, materials);

        for (const CornerIndices& c : corners_in_host_order(tri)) {
            const p3dVert& vertex = element_at(vertexList, c.vertex, "vertex index");
            if (vertex.loc == nullptr)
                import::raise_not_set("vertex " + std::to_string(c.vertex) + " has no position record");
            const p3dPt3D& loc = *vertex.loc;
            if (c.texCoord != kNone) {
                const p3dPt2D& tc = element_at(texCoordsList, c.texCoord, "texture coordinate index");
                texU = tc.x;
                texV = tc.y;
            }
            std::array<double, 6> data{loc.x, loc.y, loc.z, texU, texV, 100.0};
            if (material != nullptr) {
                data[3] *= static_cast<double>(material->tileX);
                data[4] *= static_cast<double>(material->tileY);
            }
            data[4] = 1.0 - data[4];
            const tessavo::Handle corner = host.AddPolygonVertex(polygon, data);

            if (c.normal != kNone) {
                const p3dPt3D& n = element_at(vertex.View_NormalList(), c.normal, "normal index");
                normal = {n.x, n.y, n.z};
            }
            host.SetVertexNormal(corner, normal);

            if (c.colour != kNone) {
                const p3dPt3D& col = element_at(colorList, c.colour, "colour index");
                const std::array<std::uint8_t, 3> rgb{colour_byte(col.x, "vertex colour red"),
                                                      colour_byte(col.y, "vertex colour green"),
                                                      colour_byte(col.z, "vertex colour blue")};
                host.SetPolygonVertexColor(corner, polygon, rgb);
            }
            if (c.texCoord2 != kNone) {
                const p3dPt2D& tc2 =
                    element_at(texCoords2List, c.texCoord2, "second texture coordinate index");
                texU = tc2.x;
                texV = tc2.y;
                host.SetPolygonVertexUV2(corner, polygon, {tc2.x, 1.0 - static_cast<double>(tc2.y)});
            }
        }
        if (material != nullptr) ApplyMaterial(polygon, *material);
        host.ClosePolygon(polygon);
        return polygon;
    } catch (...) {
        RaiseErrToCaller("clsPlugin", "CreateStatePolygon");
    }
}

void clsPlugin::ApplyMaterial(tessavo::Handle polygon, const p3dMaterial& material) {
    SceneCalls& host = Scene();
    if (material.diffuse == nullptr) import::raise_not_set("the material has no diffuse colour record");
    const p3dPt3D& d = *material.diffuse;
    host.SetPolygonColor(polygon, colour_long(d.x, "diffuse red"), colour_long(d.y, "diffuse green"),
                         colour_long(d.z, "diffuse blue"));
    if (material.stateBitmapHandle != 0) host.SetPolygonBitmap(polygon, material.stateBitmapHandle);
    if (material.stateBitmap2Handle != 0) host.SetPolygonBitmap2(polygon, material.stateBitmap2Handle);
}

}  // namespace imp_kzv
