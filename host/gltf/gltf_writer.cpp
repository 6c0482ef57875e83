#include "host/gltf/gltf_writer.h"


#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>

#include "host/gltf/gltf_document.h"
#include "host/gltf/json_text.h"
#include "host/output/output_files.h"

namespace kzv::host {
namespace fs = std::filesystem;

namespace gltf {

namespace {

// A text as tinygltf writes it: as a C string, so it ends at its first NUL.
std::string_view text_of(const std::string& text) {
    return text.c_str();
}

// tinygltf's test for "the default value": equal within 1e-12.
bool near(double a, double b) {
    return std::fabs(b - a) < 1e-12;
}

// The glTF JSON of a tinygltf model, as tinygltf writes it: the same members left out when they
// hold their defaults, numbers of the same kinds, keys in the same (sorted) order; except that an
// object with nothing to say is {} rather than null, a perspective camera without a far plane has
// no "zfar" (an infinite projection), and the buffer is the document's own. Written directly, since
// going through tinygltf's serialiser and a JSON document twice took most of the time and memory of
// writing scenes of many small meshes.
class DocumentJson {
  public:
    DocumentJson(const GltfDocument& document, bool pretty)
        : document_(document), model_(document.model), out_(pretty) {}

    std::string text(const std::string& buffer_uri) {
        constexpr std::size_t kBytesPerObject = 128;  // about what an accessor or a node takes
        out_.reserve(kBytesPerObject *
                     (model_.accessors.size() + model_.bufferViews.size() + model_.nodes.size() +
                      model_.meshes.size() + model_.materials.size() + 8));
        out_.begin_object();
        list("accessors", model_.accessors, &DocumentJson::accessor);
        out_.key("asset");
        asset();
        list("bufferViews", model_.bufferViews, &DocumentJson::buffer_view);
        if (document_.binary_size > 0) buffers(buffer_uri);
        list("cameras", model_.cameras, &DocumentJson::camera);
        if (!model_.lights.empty()) lights();
        list("images", model_.images, &DocumentJson::image);
        list("materials", model_.materials, &DocumentJson::material);
        list("meshes", model_.meshes, &DocumentJson::mesh);
        list("nodes", model_.nodes, &DocumentJson::node);
        list("samplers", model_.samplers, &DocumentJson::sampler);
        if (model_.defaultScene > -1) out_.member("scene", model_.defaultScene);
        list("scenes", model_.scenes, &DocumentJson::scene);
        list("textures", model_.textures, &DocumentJson::texture);
        out_.end_object();
        return out_.take();
    }

  private:
    template <class T>
    void list(std::string_view name, const std::vector<T>& items, void (DocumentJson::*write)(const T&)) {
        if (items.empty()) return;
        out_.key(name);
        out_.begin_array();
        for (const T& item : items) {
            out_.begin_object();
            (this->*write)(item);
            out_.end_object();
        }
        out_.end_array();
    }

    void numbers(std::string_view name, const std::vector<double>& values) {
        if (!values.empty()) out_.member_array(name, values);
    }

    void asset() {
        out_.begin_object();
        if (!model_.asset.generator.empty()) out_.member("generator", text_of(model_.asset.generator));
        out_.member("version", model_.asset.version.empty() ? "2.0" : text_of(model_.asset.version));
        out_.end_object();
    }

    void buffers(const std::string& uri) {
        out_.key("buffers");
        out_.begin_array();
        out_.begin_object();
        out_.member("byteLength", document_.binary_size);
        if (!uri.empty()) out_.member("uri", uri);
        out_.end_object();
        out_.end_array();
    }

    void accessor(const tinygltf::Accessor& a) {
        if (a.bufferView >= 0) out_.member("bufferView", a.bufferView);
        out_.member("componentType", a.componentType);
        out_.member("count", a.count);
        const bool reals = a.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT ||
                           a.componentType == TINYGLTF_COMPONENT_TYPE_DOUBLE;
        for (const auto& [name, values] : {std::pair{"max", &a.maxValues}, std::pair{"min", &a.minValues}}) {
            if (values->empty()) continue;
            out_.key(name);
            out_.begin_array();
            for (const double v : *values)
                reals ? out_.number(v) : out_.number(std::int64_t{static_cast<int>(v)});
            out_.end_array();
        }
        if (a.normalized) out_.member("normalized", true);
        out_.member("type", type_name(a.type));
    }

    static const char* type_name(int type) {
        switch (type) {
            case TINYGLTF_TYPE_SCALAR:
                return "SCALAR";
            case TINYGLTF_TYPE_VEC2:
                return "VEC2";
            case TINYGLTF_TYPE_VEC3:
                return "VEC3";
            case TINYGLTF_TYPE_VEC4:
                return "VEC4";
            default:
                return "";
        }
    }

    void buffer_view(const tinygltf::BufferView& v) {
        out_.member("buffer", v.buffer);
        out_.member("byteLength", v.byteLength);
        if (v.byteOffset > 0) out_.member("byteOffset", v.byteOffset);
        if (v.target == TINYGLTF_TARGET_ARRAY_BUFFER || v.target == TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER)
            out_.member("target", v.target);
    }

    void camera(const tinygltf::Camera& c) {
        if (!c.name.empty()) out_.member("name", text_of(c.name));
        out_.key("perspective");
        out_.begin_object();
        if (c.perspective.aspectRatio > 0) out_.member("aspectRatio", c.perspective.aspectRatio);
        if (c.perspective.yfov > 0) out_.member("yfov", c.perspective.yfov);
        if (c.perspective.zfar != 0) out_.member("zfar", c.perspective.zfar);
        out_.member("znear", c.perspective.znear);
        out_.end_object();
        out_.member("type", text_of(c.type));
    }

    // The lights of KHR_lights_punctual, the only extension the writer uses.
    void lights() {
        out_.key("extensions");
        out_.begin_object();
        out_.key("KHR_lights_punctual");
        out_.begin_object();
        list("lights", model_.lights, &DocumentJson::light);
        out_.end_object();
        out_.end_object();
        out_.member_array("extensionsUsed", std::vector<std::string>{"KHR_lights_punctual"});
    }

    void light(const tinygltf::Light& l) {
        numbers("color", l.color);
        out_.member("intensity", l.intensity);
        if (!l.name.empty()) out_.member("name", text_of(l.name));
        if (l.range > 0.0) out_.member("range", l.range);
        out_.member("type", text_of(l.type));
    }

    void image(const tinygltf::Image& i) {
        if (i.uri.empty()) {
            out_.member("bufferView", i.bufferView);
            out_.member("mimeType", text_of(i.mimeType));
        }
        if (!i.name.empty()) out_.member("name", text_of(i.name));
        if (!i.uri.empty()) out_.member("uri", text_of(i.uri));
    }

    void texture_info(std::string_view name, int index, int tex_coord) {
        out_.key(name);
        out_.begin_object();
        out_.member("index", index);
        if (tex_coord != 0) out_.member("texCoord", tex_coord);
        out_.end_object();
    }

    void material(const tinygltf::Material& m) {
        if (m.doubleSided) out_.member("doubleSided", true);
        if (!m.name.empty()) out_.member("name", text_of(m.name));
        if (m.occlusionTexture.index > -1) {
            out_.key("occlusionTexture");
            out_.begin_object();
            out_.member("index", m.occlusionTexture.index);
            if (!near(m.occlusionTexture.strength, 1.0)) out_.member("strength", m.occlusionTexture.strength);
            if (m.occlusionTexture.texCoord != 0) out_.member("texCoord", m.occlusionTexture.texCoord);
            out_.end_object();
        }
        const tinygltf::PbrMetallicRoughness& pbr = m.pbrMetallicRoughness;
        const bool default_color = pbr.baseColorFactor.size() == 4 &&
                                   std::all_of(pbr.baseColorFactor.begin(), pbr.baseColorFactor.end(),
                                               [](double v) { return near(v, 1.0); });
        const bool default_metallic = near(pbr.metallicFactor, 1.0),
                   default_roughness = near(pbr.roughnessFactor, 1.0);
        if (default_color && default_metallic && default_roughness && pbr.baseColorTexture.index < 0) return;
        out_.key("pbrMetallicRoughness");
        out_.begin_object();
        if (!default_color) numbers("baseColorFactor", pbr.baseColorFactor);
        if (pbr.baseColorTexture.index > -1)
            texture_info("baseColorTexture", pbr.baseColorTexture.index, pbr.baseColorTexture.texCoord);
        if (!default_metallic) out_.member("metallicFactor", pbr.metallicFactor);
        if (!default_roughness) out_.member("roughnessFactor", pbr.roughnessFactor);
        out_.end_object();
    }

    void mesh(const tinygltf::Mesh& m) {
        if (!m.name.empty()) out_.member("name", text_of(m.name));
        out_.key("primitives");
        out_.begin_array();
        for (const tinygltf::Primitive& p : m.primitives) {
            out_.begin_object();
            out_.key("attributes");
            out_.begin_object();
            for (const auto& [name, accessor] : p.attributes) out_.member(name, accessor);
            out_.end_object();
            if (p.indices > -1) out_.member("indices", p.indices);
            if (p.material > -1) out_.member("material", p.material);
            out_.member("mode", p.mode);
            out_.end_object();
        }
        out_.end_array();
    }

    void node(const tinygltf::Node& n) {
        if (n.camera != -1) out_.member("camera", n.camera);
        if (!n.children.empty()) out_.member_array("children", n.children);
        if (const auto light = n.extensions.find("KHR_lights_punctual"); light != n.extensions.end()) {
            out_.key("extensions");
            out_.begin_object();
            out_.key("KHR_lights_punctual");
            out_.begin_object();
            out_.member("light", light->second.Get("light").GetNumberAsInt());
            out_.end_object();
            out_.end_object();
        }
        if (n.mesh != -1) out_.member("mesh", n.mesh);
        if (!n.name.empty()) out_.member("name", text_of(n.name));
        numbers("rotation", n.rotation);
        numbers("scale", n.scale);
        numbers("translation", n.translation);
    }

    void sampler(const tinygltf::Sampler& s) {
        if (s.magFilter != -1) out_.member("magFilter", s.magFilter);
        if (s.minFilter != -1) out_.member("minFilter", s.minFilter);
        out_.member("wrapS", s.wrapS);
        out_.member("wrapT", s.wrapT);
    }

    void scene(const tinygltf::Scene& s) {
        if (!s.nodes.empty()) out_.member_array("nodes", s.nodes);
    }

    void texture(const tinygltf::Texture& t) {
        if (t.sampler > -1) out_.member("sampler", t.sampler);
        if (t.source > -1) out_.member("source", t.source);
    }

    const GltfDocument& document_;
    const tinygltf::Model& model_;
    JsonText out_;
};

}  // namespace

std::string document_json(const GltfDocument& document, const std::string& buffer_uri, bool pretty) {
    return DocumentJson(document, pretty).text(buffer_uri);
}

}  // namespace gltf

namespace {

void put_u32(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::size_t padding(std::size_t size) {
    return (4 - size % 4) % 4;
}

// Writes pieces of the binary buffer (starting at byte `start` of the file). Small pieces that follow
// each other, up to the padding between buffer views, are gathered into one write, big ones go
// straight to the file: a scene of thousands of small meshes would otherwise cost a few system
// calls per mesh.
class BinaryWrites {
  public:
    BinaryWrites(ByteSink& file, std::uint64_t start) : file_(file), start_(start) {}
    BinaryWrites(const BinaryWrites&) = delete;
    BinaryWrites& operator=(const BinaryWrites&) = delete;
    ~BinaryWrites() { flush(); }

    void write(std::size_t offset, const void* data, std::size_t size) {
        constexpr std::size_t kDirect = 64 << 10, kGathered = 1 << 20, kMostPadding = 3;
        const bool follows = !gathered_.empty() && offset >= end_ && offset - end_ <= kMostPadding &&
                             gathered_.size() + (offset - end_) + size <= kGathered;
        if (!follows) flush();
        if (size >= kDirect) {
            file_.write_at(start_ + offset, data, size);
            return;
        }
        if (gathered_.empty()) begin_ = end_ = offset;
        gathered_.append(offset - end_, '\0');
        gathered_.append(static_cast<const char*>(data), size);
        end_ = offset + size;
    }

    void flush() {
        if (!gathered_.empty()) file_.write_at(start_ + begin_, gathered_.data(), gathered_.size());
        gathered_.clear();
    }

  private:
    ByteSink& file_;
    std::uint64_t start_;
    std::string gathered_;  // the bytes from begin_ to end_
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
};

// The binary buffer, starting at byte `start` of the file. Its pieces go to their places, so
// padding that lies between pieces not written together reads as zeros. The vertex data is made while it is
// written; a failed write still lets it run to the end, so that the repairs are all counted.
void write_binary(ByteSink& file, std::uint64_t start, const Scene& scene, gltf::GltfDocument& document) {
    BinaryWrites writes(file, start);
    for (const gltf::BinaryPiece& piece : document.pieces) writes.write(piece.offset, piece.data, piece.size);
    gltf::write_vertex_data(scene, document, [&](std::size_t offset, const void* data, std::size_t size) {
        writes.write(offset, data, size);
    });
}

// The GLB container: 12-byte header, the JSON chunk padded with spaces, the BIN chunk padded with
// zeros; every chunk starts on a 4-byte boundary.
std::string write_glb(gltf::GltfDocument& document, const Scene& scene, const std::string& name,
                      OutputFiles& output) {
    std::string json = gltf::document_json(document, "", false);
    json.append(padding(json.size()), ' ');
    const std::size_t bin_padding = padding(document.binary_size);
    const std::uint64_t bin_chunk = document.binary_size == 0 ? 0 : 8 + document.binary_size + bin_padding;
    const std::uint64_t total = 12 + 8 + json.size() + bin_chunk;
    if (total > std::numeric_limits<std::uint32_t>::max()) {
        gltf::write_vertex_data(scene, document,
                                [](std::size_t, const void*, std::size_t) {});  // counts repairs
        return "the scene is too large for a .glb file (4 GiB)";
    }

    std::string head = "glTF";
    put_u32(head, 2);
    put_u32(head, static_cast<std::uint32_t>(total));
    put_u32(head, static_cast<std::uint32_t>(json.size()));
    put_u32(head, 0x4E4F534A);  // "JSON"
    ByteSink& file = output.add(name);
    // A failed write makes the later ones do nothing; commit() then reports the first error.
    file.write(head);
    file.write(json);
    if (document.binary_size > 0) {
        std::string bin_head;
        put_u32(bin_head, static_cast<std::uint32_t>(document.binary_size + bin_padding));
        put_u32(bin_head, 0x004E4942);  // "BIN\0"
        file.write(bin_head);
        write_binary(file, 12 + 8 + json.size() + 8, scene, document);
    }
    file.set_size(total);
    return output.commit() ? std::string() : output.error();
}

// Relative URIs must escape everything but unreserved characters.
std::string uri_escape(const std::string& name) {
    std::string out;
    for (unsigned char c : name) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out.push_back(static_cast<char>(c));
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

// A .gltf with its .bin and image files beside it. The .gltf is renamed into place last, so it
// never refers to files that are not there yet.
std::string write_gltf_files(gltf::GltfDocument& document, const Scene& scene, const std::string& name,
                             OutputFiles& output) {
    const std::string stem = fs::path(name).stem().string();
    std::string buffer_uri;
    if (document.binary_size > 0) {
        buffer_uri = stem + ".bin";
        ByteSink& file = output.add(buffer_uri);
        write_binary(file, 0, scene, document);
        file.set_size(document.binary_size);
    }
    for (std::size_t i = 0; i < document.model.images.size(); ++i) {
        tinygltf::Image& image = document.model.images[i];
        const Bitmap& bitmap = scene.bitmaps[document.image_bitmaps[i]];
        const std::string image_name =
            stem + "_" + std::to_string(i) + (image.mimeType == "image/jpeg" ? ".jpg" : ".png");
        output.add(image_name).write(bitmap.bytes.data(), bitmap.bytes.size());
        image.uri = uri_escape(image_name);
    }
    const std::string json = gltf::document_json(document, uri_escape(buffer_uri), true) + "\n";
    output.add(name).write(json);
    return output.commit() ? std::string() : output.error();
}

std::string lowercase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

WriteOutcome write_gltf(const Scene& scene, OutputFiles& files, const std::string& name,
                        const GltfOptions& options) {
    WriteOutcome outcome;
    try {
        const std::string extension = lowercase(fs::path(name).extension().string());
        if (extension != ".glb" && extension != ".gltf") {
            outcome.error = "the output file must end in .glb or .gltf: " + name;
            return outcome;
        }
        const bool binary = extension == ".glb";
        gltf::GltfDocument document = gltf::build_document(
            scene, options, binary ? gltf::ImagePlacement::embedded : gltf::ImagePlacement::external);
        outcome.error =
            binary ? write_glb(document, scene, name, files) : write_gltf_files(document, scene, name, files);
        outcome.warnings = document.repairs.warnings();
        if (outcome.error.empty()) outcome.files = files.files();
    } catch (const std::bad_alloc&) {
        outcome.error = "out of memory while writing " + name;
    } catch (const std::exception& e) {
        outcome.error = std::string("cannot write ") + name + ": " + e.what();
    }
    outcome.ok = outcome.error.empty();
    return outcome;
}

WriteOutcome write_gltf(const Scene& scene, const fs::path& output, const GltfOptions& options) {
    const std::string extension = lowercase(output.extension().string());
    if (extension != ".glb" && extension != ".gltf") {
        WriteOutcome outcome;
        outcome.error = "the output file must end in .glb or .gltf: " + output.string();
        return outcome;
    }
    FileOutput files(output.parent_path());
    return write_gltf(scene, files, output.filename().string(), options);
}

}  // namespace kzv::host
