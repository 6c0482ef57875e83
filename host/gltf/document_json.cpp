#include "host/gltf/document_json.h"

#include <string_view>

#include "host/gltf/json_text.h"

namespace kzv::host::gltf {
namespace {

std::string_view type_name(ElementType type) {
    switch (type) {
        case ElementType::scalar:
            return "SCALAR";
        case ElementType::vec2:
            return "VEC2";
        case ElementType::vec3:
            return "VEC3";
        case ElementType::vec4:
            return "VEC4";
    }
    return "SCALAR";
}

// glTF's codes for the one sampler.
constexpr int kLinear = 9729, kLinearMipmapLinear = 9987, kRepeat = 10497;

class DocumentWriter {
  public:
    DocumentWriter(const Document& document, bool pretty) : doc_(document), out_(pretty) {}

    std::string text(const std::string& buffer_uri) {
        constexpr std::size_t kBytesPerObject = 128;  // about what an accessor or a node takes
        out_.reserve(kBytesPerObject * (doc_.accessors.size() + doc_.buffer_views.size() + doc_.nodes.size() +
                                        doc_.meshes.size() + doc_.materials.size() + 8));
        write(buffer_uri);
        return out_.take();
    }

    std::size_t text(const std::string& buffer_uri, const JsonSink& sink) {
        sink_ = &sink;
        out_.reserve(2 * kChunk);
        write(buffer_uri);
        out_.hand_over_from(0, sink);
        return out_.size();
    }

  private:
    static constexpr std::size_t kChunk = 64 << 10;

    void write(const std::string& buffer_uri) {
        out_.begin_object();
        asset();
        if (!doc_.lights.empty()) lights();
        out_.member("scene", 0);
        out_.key("scenes");
        out_.begin_array();
        out_.begin_object();
        if (!doc_.scene_nodes.empty()) out_.member_array("nodes", doc_.scene_nodes);
        out_.end_object();
        out_.end_array();
        list("nodes", doc_.nodes, &DocumentWriter::node);
        list("meshes", doc_.meshes, &DocumentWriter::mesh);
        list("materials", doc_.materials, &DocumentWriter::material);
        list("textures", doc_.textures, &DocumentWriter::texture);
        list("images", doc_.images, &DocumentWriter::image);
        if (!doc_.textures.empty()) sampler();
        list("cameras", doc_.cameras, &DocumentWriter::camera);
        list("accessors", doc_.accessors, &DocumentWriter::accessor);
        list("bufferViews", doc_.buffer_views, &DocumentWriter::buffer_view);
        if (doc_.buffer_size > 0) buffer(buffer_uri);
        out_.end_object();
    }

    template <class T>
    void list(std::string_view name, const std::vector<T>& items, void (DocumentWriter::*write)(const T&)) {
        if (items.empty()) return;
        out_.key(name);
        out_.begin_array();
        for (const T& item : items) {
            out_.begin_object();
            (this->*write)(item);
            out_.end_object();
            if (sink_) out_.hand_over_from(kChunk, *sink_);
        }
        out_.end_array();
    }

    void name(const std::string& text) {
        if (!text.empty()) out_.member("name", text);
    }

    void asset() {
        out_.key("asset");
        out_.begin_object();
        if (!doc_.generator.empty()) out_.member("generator", doc_.generator);
        out_.member("version", "2.0");
        out_.end_object();
    }

    // The lights of KHR_lights_punctual, the only extension the writer uses.
    void lights() {
        out_.member_array("extensionsUsed", std::array{"KHR_lights_punctual"});
        out_.key("extensions");
        out_.begin_object();
        out_.key("KHR_lights_punctual");
        out_.begin_object();
        list("lights", doc_.lights, &DocumentWriter::light);
        out_.end_object();
        out_.end_object();
    }

    void light(const Light& l) {
        name(l.name);
        out_.member("type", "point");
        out_.member_array("color", l.color);
        out_.member("intensity", l.intensity);
        if (l.range) out_.member("range", *l.range);
    }

    void node(const Node& n) {
        name(n.name);
        if (n.mesh != kNone) out_.member("mesh", n.mesh);
        if (n.camera != kNone) out_.member("camera", n.camera);
        if (n.light != kNone) {
            out_.key("extensions");
            out_.begin_object();
            out_.key("KHR_lights_punctual");
            out_.begin_object();
            out_.member("light", n.light);
            out_.end_object();
            out_.end_object();
        }
        if (n.transform != kNone) {
            const NodeTransform& t = doc_.transforms[static_cast<std::size_t>(n.transform)];
            if (t.translation) out_.member_array("translation", *t.translation);
            if (t.rotation) out_.member_array("rotation", *t.rotation);
            if (t.scale) out_.member_array("scale", *t.scale);
        }
        if (!n.children.empty()) out_.member_array("children", n.children);
    }

    void mesh(const Mesh& m) {
        name(m.name);
        out_.key("primitives");
        out_.begin_array();
        for (const Primitive& p : m.primitives) primitive(p);
        out_.end_array();
    }

    void primitive(const Primitive& p) {
        out_.begin_object();
        out_.key("attributes");
        out_.begin_object();
        for (const auto& [attribute, accessor] :
             {std::pair{"POSITION", p.position}, std::pair{"NORMAL", p.normal},
              std::pair{"TEXCOORD_0", p.texcoord0}, std::pair{"TEXCOORD_1", p.texcoord1},
              std::pair{"COLOR_0", p.color0}})
            if (accessor != kNone) out_.member(attribute, accessor);
        out_.end_object();
        if (p.indices != kNone) out_.member("indices", p.indices);
        if (p.material != kNone) out_.member("material", p.material);
        if (p.mode != PrimitiveMode::triangles) out_.member("mode", static_cast<int>(p.mode));
        out_.end_object();
    }

    void texture_info(std::string_view key, int index, int tex_coord) {
        out_.key(key);
        out_.begin_object();
        out_.member("index", index);
        if (tex_coord != 0) out_.member("texCoord", tex_coord);
        out_.end_object();
    }

    void material(const Material& m) {
        name(m.name);
        out_.key("pbrMetallicRoughness");
        out_.begin_object();
        if (m.base_color) out_.member_array("baseColorFactor", *m.base_color);
        if (m.base_color_texture != kNone) texture_info("baseColorTexture", m.base_color_texture, 0);
        out_.member("metallicFactor", 0.0);
        out_.member("roughnessFactor", 1.0);
        out_.end_object();
        if (m.occlusion_texture != kNone) texture_info("occlusionTexture", m.occlusion_texture, 1);
        if (m.double_sided) out_.member("doubleSided", true);
    }

    void texture(const Texture& t) {
        out_.member("sampler", 0);
        out_.member("source", t.source);
    }

    void image(const Image& i) {
        name(i.name);
        if (i.buffer_view != kNone) {
            out_.member("bufferView", i.buffer_view);
            out_.member("mimeType", i.mime_type);
        } else {
            out_.member("uri", i.uri);
        }
    }

    void sampler() {
        out_.key("samplers");
        out_.begin_array();
        out_.begin_object();
        out_.member("magFilter", kLinear);
        out_.member("minFilter", kLinearMipmapLinear);
        out_.member("wrapS", kRepeat);
        out_.member("wrapT", kRepeat);
        out_.end_object();
        out_.end_array();
    }

    void camera(const Camera& c) {
        name(c.name);
        out_.member("type", "perspective");
        out_.key("perspective");
        out_.begin_object();
        out_.member("yfov", c.yfov);
        out_.member("znear", c.znear);  // no zfar: an infinite projection
        out_.end_object();
    }

    void accessor(const Accessor& a) {
        if (a.buffer_view != kNone) out_.member("bufferView", a.buffer_view);
        out_.member("componentType", static_cast<int>(a.component_type));
        if (a.normalized) out_.member("normalized", true);
        out_.member("count", a.count);
        out_.member("type", type_name(a.type));
        if (a.min) out_.member_array("min", *a.min);
        if (a.max) out_.member_array("max", *a.max);
    }

    void buffer_view(const BufferView& v) {
        out_.member("buffer", 0);
        if (v.offset > 0) out_.member("byteOffset", v.offset);
        out_.member("byteLength", v.length);
        if (v.target != ViewTarget::none) out_.member("target", static_cast<int>(v.target));
    }

    void buffer(const std::string& uri) {
        out_.key("buffers");
        out_.begin_array();
        out_.begin_object();
        out_.member("byteLength", doc_.buffer_size);
        if (!uri.empty()) out_.member("uri", uri);
        out_.end_object();
        out_.end_array();
    }

    const Document& doc_;
    JsonText out_;
    const JsonSink* sink_ = nullptr;  // where the text goes as it is made, if anywhere
};

}  // namespace

std::string document_json(const Document& document, const std::string& buffer_uri, bool pretty) {
    return DocumentWriter(document, pretty).text(buffer_uri);
}

std::size_t write_document_json(const Document& document, const std::string& buffer_uri, bool pretty,
                                const JsonSink& sink) {
    return DocumentWriter(document, pretty).text(buffer_uri, sink);
}

}  // namespace kzv::host::gltf
