#include "host/gltf/containers.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <limits>

#include "host/gltf/document_json.h"

namespace kzv::host::gltf {
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
// padding that lies between pieces not written together reads as zeros. A failed write still lets
// the buffer be made to the end, so that what making it notes is complete.
void write_binary(ByteSink& file, std::uint64_t start, const BufferMaker& buffer) {
    BinaryWrites writes(file, start);
    buffer([&](std::size_t offset, const void* data, std::size_t size) { writes.write(offset, data, size); });
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

}  // namespace

// The GLB container: 12-byte header, the JSON chunk padded with spaces, the BIN chunk padded with
// zeros; every chunk starts on a 4-byte boundary. The JSON goes to the file as it is made, after
// room for the headers, which are written once its length is known.
std::string write_glb(const Document& document, const BufferMaker& buffer, const std::string& name,
                      OutputFiles& output) {
    constexpr std::size_t kHeads = 12 + 8;  // the file's header and the JSON chunk's
    ByteSink& file = output.add(name);
    // A failed write makes the later ones do nothing; commit() then reports the first error.
    file.write(std::string(kHeads, '\0'));
    std::size_t json_size =
        write_document_json(document, "", false, [&](std::string_view text) { file.write(text); });
    file.write(std::string(padding(json_size), ' '));
    json_size += padding(json_size);
    const std::size_t buffer_size = document.buffer_size;
    const std::size_t bin_padding = padding(buffer_size);
    const std::uint64_t bin_chunk = buffer_size == 0 ? 0 : 8 + buffer_size + bin_padding;
    const std::uint64_t total = kHeads + json_size + bin_chunk;
    if (total > std::numeric_limits<std::uint32_t>::max()) {
        buffer([](std::size_t, const void*, std::size_t) {});  // made for what making it notes
        return "the scene is too large for a .glb file (4 GiB)";
    }

    std::string head = "glTF";
    put_u32(head, 2);
    put_u32(head, static_cast<std::uint32_t>(total));
    put_u32(head, static_cast<std::uint32_t>(json_size));
    put_u32(head, 0x4E4F534A);  // "JSON"
    file.write_at(0, head.data(), head.size());
    if (buffer_size > 0) {
        std::string bin_head;
        put_u32(bin_head, static_cast<std::uint32_t>(buffer_size + bin_padding));
        put_u32(bin_head, 0x004E4942);  // "BIN\0"
        file.write(bin_head);
        write_binary(file, kHeads + json_size + 8, buffer);
    }
    file.set_size(total);
    return output.commit() ? std::string() : output.error();
}

std::string write_gltf_set(Document& document, const BufferMaker& buffer,
                           const std::vector<std::span<const std::uint8_t>>& image_bytes,
                           const std::string& name, OutputFiles& output) {
    const std::string stem = std::filesystem::path(name).stem().string();
    std::string buffer_uri;
    if (document.buffer_size > 0) {
        buffer_uri = stem + ".bin";
        ByteSink& file = output.add(buffer_uri);
        write_binary(file, 0, buffer);
        file.set_size(document.buffer_size);
    }
    for (std::size_t i = 0; i < document.images.size(); ++i) {
        Image& image = document.images[i];
        const std::string image_name =
            stem + "_" + std::to_string(i) + (image.mime_type == "image/jpeg" ? ".jpg" : ".png");
        output.add(image_name).write(image_bytes[i].data(), image_bytes[i].size());
        image.uri = uri_escape(image_name);
    }
    ByteSink& file = output.add(name);
    write_document_json(document, uri_escape(buffer_uri), true,
                        [&](std::string_view text) { file.write(text); });
    file.write("\n");
    return output.commit() ? std::string() : output.error();
}

}  // namespace kzv::host::gltf
