#include "host/gltf/gltf_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "host/gltf/gltf_document.h"

namespace kzv::host {
namespace fs = std::filesystem;

namespace gltf {

std::string document_json(const GltfDocument& document, const std::string& buffer_uri, bool pretty) {
    tinygltf::TinyGLTF serialiser;
    serialiser.SetImageWriter(nullptr, nullptr);  // image bytes are written by the host, not re-encoded
    std::ostringstream text;
    if (!serialiser.WriteGltfSceneToStream(&document.model, text, false, false))
        throw std::runtime_error("cannot serialise the glTF document");

    nlohmann::json json = nlohmann::json::parse(text.str());
    if (document.binary_size > 0) {
        nlohmann::json buffer{{"byteLength", document.binary_size}};
        if (!buffer_uri.empty()) buffer["uri"] = buffer_uri;
        json["buffers"] = nlohmann::json::array({buffer});
    }
    // tinygltf writes an object that has nothing to say as null (a scene without nodes, a node
    // without name, children or transformation); glTF wants an object.
    for (auto& [key, list] : json.items())
        if (list.is_array())
            for (auto& element : list)
                if (element.is_null()) element = nlohmann::json::object();
    // tinygltf writes "zfar": 0 for a perspective camera without a far plane; glTF expresses an
    // infinite projection by leaving zfar out.
    if (const auto cameras = json.find("cameras"); cameras != json.end())
        for (auto& camera : *cameras)
            if (const auto perspective = camera.find("perspective"); perspective != camera.end())
                if (const auto zfar = perspective->find("zfar"); zfar != perspective->end() && *zfar == 0)
                    perspective->erase(zfar);
    return json.dump(pretty ? 2 : -1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace gltf

namespace {

// A file under construction: written under a temporary name in its destination's folder and
// renamed into place by commit(), or removed when dropped uncommitted.
class PendingFile {
  public:
    explicit PendingFile(fs::path destination) : destination_(std::move(destination)) {
        static std::atomic<unsigned> counter{0};
        const fs::path folder = destination_.has_parent_path() ? destination_.parent_path() : fs::path(".");
        for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
            temporary_ = folder / ("." + destination_.filename().string() + ".tmp-" +
                                   std::to_string(::getpid()) + "-" + std::to_string(counter++));
            fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd_ < 0 && errno != EEXIST) break;
        }
        if (fd_ < 0) error_ = "cannot create " + temporary_.string() + ": " + std::strerror(errno);
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
    }

    const std::string& error() const { return error_; }

    bool write(const void* data, std::size_t size) {
        const auto* bytes = static_cast<const char*>(data);
        while (error_.empty() && size > 0) {
            const ssize_t written = ::write(fd_, bytes, size);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) {
                error_ = "cannot write " + temporary_.string() + ": " + std::strerror(errno);
                break;
            }
            bytes += written;
            size -= static_cast<std::size_t>(written);
        }
        return error_.empty();
    }

    bool write(const std::string& text) { return write(text.data(), text.size()); }

    // Writes at `offset` from the start of the file, wherever the sequential writes are.
    bool write_at(std::uint64_t offset, const void* data, std::size_t size) {
        const auto* bytes = static_cast<const char*>(data);
        while (error_.empty() && size > 0) {
            const ssize_t written = ::pwrite(fd_, bytes, size, static_cast<off_t>(offset));
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) {
                error_ = "cannot write " + temporary_.string() + ": " + std::strerror(errno);
                break;
            }
            bytes += written;
            offset += static_cast<std::uint64_t>(written);
            size -= static_cast<std::size_t>(written);
        }
        return error_.empty();
    }

    // Sets the file's length; bytes never written read as zeros.
    bool set_size(std::uint64_t size) {
        if (error_.empty() && ::ftruncate(fd_, static_cast<off_t>(size)) != 0)
            error_ = "cannot write " + temporary_.string() + ": " + std::strerror(errno);
        return error_.empty();
    }

    // Flushes the data to disk before the rename, so that a crash cannot leave a renamed but
    // empty file behind.
    bool commit() {
        if (!error_.empty()) return false;
        if (::fsync(fd_) != 0 || ::close(fd_) != 0) {
            fd_ = -1;
            error_ = "cannot write " + temporary_.string() + ": " + std::strerror(errno);
            return false;
        }
        fd_ = -1;
        if (::rename(temporary_.c_str(), destination_.c_str()) != 0) {
            error_ = "cannot rename " + temporary_.string() + " to " + destination_.string() + ": " +
                     std::strerror(errno);
            return false;
        }
        committed_ = true;
        return true;
    }

  private:
    fs::path destination_;
    fs::path temporary_;
    int fd_ = -1;
    bool committed_ = false;
    std::string error_;
};

void put_u32(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::size_t padding(std::size_t size) {
    return (4 - size % 4) % 4;
}

// The binary buffer, starting at byte `start` of the file. Its pieces go to their places, so the
// padding between them is never written and reads as zeros. The vertex data is made while it is
// written; a failed write still lets it run to the end, so that the repairs are all counted.
void write_binary(PendingFile& file, std::uint64_t start, const Scene& scene, gltf::GltfDocument& document) {
    for (const gltf::BinaryPiece& piece : document.pieces)
        file.write_at(start + piece.offset, piece.data, piece.size);
    gltf::write_vertex_data(scene, document, [&](std::size_t offset, const void* data, std::size_t size) {
        file.write_at(start + offset, data, size);
    });
}

// The GLB container: 12-byte header, the JSON chunk padded with spaces, the BIN chunk padded with
// zeros; every chunk starts on a 4-byte boundary.
std::string write_glb(gltf::GltfDocument& document, const Scene& scene, const fs::path& output,
                      std::vector<fs::path>& files) {
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
    PendingFile file(output);
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
    if (!file.commit()) return file.error();
    files.push_back(output);
    return {};
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
std::string write_gltf_files(gltf::GltfDocument& document, const Scene& scene, const fs::path& output,
                             std::vector<fs::path>& files) {
    const std::string stem = output.stem().string();
    const fs::path folder = output.parent_path();
    std::vector<std::pair<std::unique_ptr<PendingFile>, fs::path>> pending;

    // `fill(file)` writes the file's contents.
    auto add_file = [&](const std::string& name, const auto& fill) {
        auto file = std::make_unique<PendingFile>(folder / name);
        fill(*file);
        pending.emplace_back(std::move(file), folder / name);
        return pending.back().first->error();
    };
    auto bytes = [](const void* data, std::size_t size) {
        return [=](PendingFile& file) { file.write(data, size); };
    };

    std::string buffer_uri;
    if (document.binary_size > 0) {
        buffer_uri = stem + ".bin";
        auto fill = [&](PendingFile& file) {
            write_binary(file, 0, scene, document);
            file.set_size(document.binary_size);
        };
        if (auto error = add_file(buffer_uri, fill); !error.empty()) return error;
    }
    for (std::size_t i = 0; i < document.model.images.size(); ++i) {
        tinygltf::Image& image = document.model.images[i];
        const Bitmap& bitmap = scene.bitmaps[document.image_bitmaps[i]];
        const std::string name =
            stem + "_" + std::to_string(i) + (image.mimeType == "image/jpeg" ? ".jpg" : ".png");
        if (auto error = add_file(name, bytes(bitmap.bytes.data(), bitmap.bytes.size())); !error.empty())
            return error;
        image.uri = uri_escape(name);
    }
    const std::string json = gltf::document_json(document, uri_escape(buffer_uri), true) + "\n";
    if (auto error = add_file(output.filename().string(), bytes(json.data(), json.size())); !error.empty())
        return error;

    for (auto& [file, path] : pending) {
        if (!file->commit()) return file->error();
        files.push_back(path);
    }
    return {};
}

std::string lowercase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

WriteOutcome write_gltf(const Scene& scene, const fs::path& output, const GltfOptions& options) {
    WriteOutcome outcome;
    try {
        const std::string extension = lowercase(output.extension().string());
        if (extension != ".glb" && extension != ".gltf") {
            outcome.error = "the output file must end in .glb or .gltf: " + output.string();
            return outcome;
        }
        const bool binary = extension == ".glb";
        gltf::GltfDocument document = gltf::build_document(
            scene, options, binary ? gltf::ImagePlacement::embedded : gltf::ImagePlacement::external);
        outcome.error = binary ? write_glb(document, scene, output, outcome.files)
                               : write_gltf_files(document, scene, output, outcome.files);
        outcome.warnings = document.repairs.warnings();
    } catch (const std::bad_alloc&) {
        outcome.error = "out of memory while writing " + output.string();
    } catch (const std::exception& e) {
        outcome.error = std::string("cannot write ") + output.string() + ": " + e.what();
    }
    outcome.ok = outcome.error.empty();
    return outcome;
}

}  // namespace kzv::host
