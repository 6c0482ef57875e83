#include "kzv-dump/scene_json.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

namespace imp_kzv::dump {

namespace {

// Writes JSON with two-space indentation; containers opened `inline` stay on one line, so points,
// triangles and matrices take one line each while records and lists of records spread over lines.
class JsonWriter {
  public:
    explicit JsonWriter(std::ostream& out) : out_(out) {}
    ~JsonWriter() { flush(); }

    void begin_object(bool inline_ = false) { open('{', inline_); }
    void end_object() { close('}'); }
    void begin_array(bool inline_ = false) { open('[', inline_); }
    void end_array() { close(']'); }
    void key(std::string_view name) {
        separate();
        buf_ += StringJson(name);
        buf_ += ": ";
        after_key_ = true;
    }
    void value(float v) { scalar(FloatJson(v)); }
    void value(std::int32_t v) { scalar(std::to_string(v)); }
    void value(std::string_view text) { scalar(StringJson(text)); }
    void null() { scalar("null"); }

  private:
    struct Level {
        bool inline_;
        bool empty = true;
    };

    void separate() {
        if (after_key_) {
            after_key_ = false;
            return;
        }
        if (levels_.empty()) return;
        Level& level = levels_.back();
        if (!level.empty) buf_ += level.inline_ ? ", " : ",";
        if (!level.inline_) newline(levels_.size());
        level.empty = false;
    }
    void scalar(std::string_view text) {
        separate();
        buf_ += text;
        if (buf_.size() > (1u << 16)) flush();
    }
    void open(char bracket, bool inline_) {
        separate();
        buf_ += bracket;
        // Inside an inline container everything stays inline.
        levels_.push_back({inline_ || (!levels_.empty() && levels_.back().inline_)});
    }
    void close(char bracket) {
        const Level level = levels_.back();
        levels_.pop_back();
        if (!level.inline_ && !level.empty) newline(levels_.size());
        buf_ += bracket;
    }
    void newline(std::size_t depth) {
        buf_ += '\n';
        buf_.append(2 * depth, ' ');
    }
    void flush() {
        out_.write(buf_.data(), static_cast<std::streamsize>(buf_.size()));
        buf_.clear();
    }

    std::ostream& out_;
    std::string buf_;
    std::vector<Level> levels_;
    bool after_key_ = false;
};

void write_point(JsonWriter& w, const p3dPt3D* p) {
    if (!p) return w.null();
    w.begin_array(true);
    w.value(p->x), w.value(p->y), w.value(p->z);
    w.end_array();
}

void write_point(JsonWriter& w, const p3dPt2D* p) {
    if (!p) return w.null();
    w.begin_array(true);
    w.value(p->x), w.value(p->y);
    w.end_array();
}

template <class T>
void write_point(JsonWriter& w, const std::shared_ptr<T>& p) {
    write_point(w, p.get());
}

void write_matrix(JsonWriter& w, const TransMatrix& m) {
    w.begin_array(true);
    for (const auto& row : m) {
        for (const float cell : row) w.value(cell);
    }
    w.end_array();
}

void write_ints(JsonWriter& w, const std::vector<std::int32_t>& list) {
    w.begin_array(true);
    for (const std::int32_t v : list) w.value(v);
    w.end_array();
}

// `list` is a vector of shared pointers or a RecordList: either way its items may be null.
template <class List, class WriteItem>
void write_list(JsonWriter& w, const List& list, WriteItem write_item) {
    w.begin_array();
    for (const auto& item : list) {
        if (item) {
            write_item(item);
        } else {
            w.null();
        }
    }
    w.end_array();
}

void write_points(JsonWriter& w, const auto& list, bool inline_ = false) {
    if (inline_) {
        w.begin_array(true);
        for (const auto& p : list) write_point(w, p);
        return w.end_array();
    }
    write_list(w, list, [&](const auto& p) { write_point(w, p); });
}

void write_material(JsonWriter& w, const p3dMaterial& m) {
    w.begin_object();
    w.key("name"), w.value(m.name);
    w.key("ambient"), write_point(w, m.ambient);
    w.key("diffuse"), write_point(w, m.diffuse);
    w.key("specular"), write_point(w, m.specular);
    w.key("shininess"), w.value(m.shininess);
    w.key("transparency"), w.value(m.transparency);
    w.key("tileX"), w.value(m.tileX);
    w.key("tileY"), w.value(m.tileY);
    w.key("twoSided"), w.value(std::int32_t{m.twoSided});
    w.key("emission"), write_point(w, m.emission);
    w.key("textureUsed"), w.value(std::int32_t{m.textureUsed});
    w.key("textureName"), w.value(m.textureName);
    w.key("mipMapsUsed"), w.value(std::int32_t{m.mipMapsUsed});
    w.key("alphaMapUsed"), w.value(std::int32_t{m.alphaMapUsed});
    w.key("alphaMapName"), w.value(m.alphaMapName);
    w.key("texture2Used"), w.value(std::int32_t{m.texture2Used});
    w.key("texture2Name"), w.value(m.texture2Name);
    w.end_object();
}

void write_camera(JsonWriter& w, const p3dCamera& c) {
    w.begin_object();
    w.key("name"), w.value(c.name);
    w.key("fov"), w.value(c.fov);
    w.key("p3dTransMatrix"), write_matrix(w, c.Get_p3dTransMatrix());
    w.key("nearRange"), w.value(c.nearRange);
    w.key("farRange"), w.value(c.farRange);
    w.end_object();
}

void write_geometry(JsonWriter& w, const meshGeom& g) {
    w.begin_object();
    w.key("VertexList");
    write_list(w, g.View_VertexList(), [&](const auto& v) {
        w.begin_object(true);
        w.key("loc"), write_point(w, v->loc);
        w.key("NormalList"), write_points(w, v->View_NormalList(), true);
        w.end_object();
    });
    w.key("TexCoordsList"), write_points(w, g.View_TexCoordsList());
    w.key("TexCoords2list"), write_points(w, g.View_TexCoords2list());
    w.key("TriList");
    write_list(w, g.View_TriList(), [&](const auto& t) {
        w.begin_array(true);
        for (const std::int32_t v : t->Get_Fields()) w.value(v);
        w.end_array();
    });
    w.key("ColorList"), write_points(w, g.View_ColorList());
    w.end_object();
}

void write_mesh(JsonWriter& w, const p3dMesh& m) {
    w.begin_object();
    w.key("name"), w.value(m.name);
    w.key("p3dTransMatrix"), write_matrix(w, m.Get_p3dTransMatrix());
    w.key("iMeshGeom"), w.value(m.iMeshGeom);
    w.key("iMultiMat"), w.value(m.iMultiMat);
    w.end_object();
}

void write_group(JsonWriter& w, const p3dGroup& g) {
    w.begin_object();
    w.key("name"), w.value(g.name);
    w.key("iChildGroupList"), write_ints(w, g.View_iChildGroupList());
    w.key("iMeshList"), write_ints(w, g.View_iMeshList());
    w.key("iCameraList"), write_ints(w, g.View_iCameraList());
    w.key("iLightList"), write_ints(w, g.View_iLightList());
    w.key("iTrackList"), write_ints(w, g.View_iTrackList());
    w.key("p3dTransMatrix"), write_matrix(w, g.Get_p3dTransMatrix());
    w.key("pivot"), write_point(w, g.pivot);
    w.key("userDataLen"), w.value(g.userDataLen);
    w.end_object();
}

void write_light(JsonWriter& w, const p3dLight& l) {
    w.begin_object();
    w.key("name"), w.value(l.name);
    w.key("loc"), write_point(w, l.loc);
    w.key("color"), write_point(w, l.color);
    w.key("intensity"), w.value(l.intensity);
    w.key("minDist"), w.value(l.minDist);
    w.key("maxDist"), w.value(l.maxDist);
    w.key("iMeshesExcludedList"), write_ints(w, l.View_iMeshesExcludedList());
    w.end_object();
}

void write_track(JsonWriter& w, const p3dTrack& t) {
    w.begin_object();
    w.key("name"), w.value(t.name);
    w.key("cyclic"), w.value(std::int32_t{t.cyclic});
    w.key("PointList"), write_points(w, t.View_PointList());
    w.end_object();
}

}  // namespace

std::string FloatJson(float value) {
    if (std::isnan(value)) return "\"NaN\"";
    if (std::isinf(value)) return value > 0 ? "\"Infinity\"" : "\"-Infinity\"";
    char buf[32];
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, result.ptr);
}

std::string StringJson(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char esc[8];
                    std::snprintf(esc, sizeof esc, "\\u%04x", static_cast<unsigned>(c));
                    out += esc;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

void WriteWorldJson(const p3dWorld& world, std::ostream& out) {
    JsonWriter w(out);
    w.begin_object();
    w.key("strFileFormat"), w.value(world.strFileFormat);
    w.key("strVersion"), w.value(world.strVersion);
    w.key("bkgColor"), write_point(w, world.bkgColor);
    w.key("MaterialList"),
        write_list(w, world.View_MaterialList(), [&](const auto& m) { write_material(w, *m); });
    w.key("MultiMatList"), write_list(w, world.View_MultiMatList(), [&](const auto& m) {
        w.begin_object(true);
        w.key("iMatIndxList"), write_ints(w, m->View_iMatIndxList());
        w.end_object();
    });
    w.key("CameraList"), write_list(w, world.View_CameraList(), [&](const auto& c) { write_camera(w, *c); });
    w.key("MeshGeomList"),
        write_list(w, world.View_MeshGeomList(), [&](const auto& g) { write_geometry(w, *g); });
    w.key("MeshList"), write_list(w, world.View_MeshList(), [&](const auto& m) { write_mesh(w, *m); });
    w.key("GroupList"), write_list(w, world.View_GroupList(), [&](const auto& g) { write_group(w, *g); });
    w.key("LightList"), write_list(w, world.View_LightList(), [&](const auto& l) { write_light(w, *l); });
    w.key("TrackList"), write_list(w, world.View_TrackList(), [&](const auto& t) { write_track(w, *t); });
    w.end_object();
    out.put('\n');
}

}  // namespace imp_kzv::dump
