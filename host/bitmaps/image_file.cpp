#include "host/bitmaps/image_file.h"

#include <fcntl.h>
#include <stb_image.h>
#include <stb_image_write.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <memory>
#include <new>

#include "host/bitmaps/image_format.h"
#include "host/bitmaps/texture_path.h"
#include "host/memory/memory_budget.h"

namespace kzv::host {
namespace {

struct StbFree {
    void operator()(unsigned char* pixels) const noexcept { stbi_image_free(pixels); }
};
using Pixels = std::unique_ptr<unsigned char, StbFree>;

std::string decoder_error(const char* what) {
    const char* reason = stbi_failure_reason();
    return std::string(what) + (reason ? std::string(" (") + reason + ")" : std::string());
}

void append_bytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(context);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

// The decoder allocates with malloc, past the counted operator new: its memory (the file's bytes
// again, the scanlines, the pixels and a converted copy, at most 16 bytes a pixel, and the PNG
// encoder's as much) is counted in the budget while it works.
class DecoderMemory {
  public:
    explicit DecoderMemory(std::uint64_t bytes) : bytes_(bytes), held_(memory_budget::reserve(bytes)) {}
    ~DecoderMemory() {
        if (held_) memory_budget::release(bytes_);
    }
    DecoderMemory(const DecoderMemory&) = delete;
    DecoderMemory& operator=(const DecoderMemory&) = delete;
    bool held() const noexcept { return held_; }

  private:
    std::size_t bytes_;
    bool held_;
};

ImageResult failure(std::string why) {
    return {std::nullopt, std::move(why)};
}

ImageResult decode(std::span<const std::uint8_t> file_bytes, ImageFormat format, int width, int height) {
    const int length = static_cast<int>(file_bytes.size());
    int channels = 0;
    Pixels pixels(stbi_load_from_memory(file_bytes.data(), length, &width, &height, &channels, 0));
    if (!pixels) return failure(decoder_error("cannot decode image"));

    EmbeddableImage image;
    image.width = width;
    image.height = height;
    if (format == ImageFormat::png || format == ImageFormat::jpeg) {
        image.mime_type = format == ImageFormat::png ? "image/png" : "image/jpeg";
        image.bytes.assign(file_bytes.begin(), file_bytes.end());
        return {std::move(image), {}};
    }
    image.mime_type = "image/png";
    image.reencoded = true;
    if (!stbi_write_png_to_func(append_bytes, &image.bytes, width, height, channels, pixels.get(),
                                width * channels))
        return failure("cannot encode PNG");
    return {std::move(image), {}};
}

}  // namespace

ImageResult prepare_image(std::span<const std::uint8_t> file_bytes, const ImageLimits& limits) {
    try {
        if (file_bytes.empty()) return failure("empty file");
        if (file_bytes.size() > limits.max_file_bytes || file_bytes.size() > INT_MAX)
            return failure("file too large");
        const RecognisedFormat recognised = recognise_format(file_bytes);
        if (recognised.format == ImageFormat::unsupported)
            return failure(recognised.name.empty() ? "unsupported image format"
                                                   : "unsupported image format " + recognised.name);

        // The checks read the headers themselves, so that the decoder sees only images whose size
        // is in range and whose data is complete and safe for it.
        if (std::string problem = check_image_data(recognised.format, file_bytes, limits); !problem.empty())
            return failure(std::move(problem));
        int width = 0, height = 0, channels = 0;
        if (!stbi_info_from_memory(file_bytes.data(), static_cast<int>(file_bytes.size()), &width, &height,
                                   &channels))
            return failure(decoder_error("not a readable image"));
        const std::uint64_t pixels = std::uint64_t(width) * std::uint64_t(height);
        if (width <= 0 || height <= 0 || pixels > limits.max_pixels)
            return failure("image dimensions out of range");
        const DecoderMemory memory(2 * file_bytes.size() + 32 * pixels);
        if (!memory.held()) return failure("not enough memory within the memory limit");
        return decode(file_bytes, recognised.format, width, height);
    } catch (const std::bad_alloc&) {
        return failure("not enough memory within the memory limit");
    }
}

ImageResult load_image_descriptor(int fd, const ImageLimits& limits) {
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return failure("not a regular file");
    const auto size = static_cast<std::uintmax_t>(status.st_size);
    if (size > limits.max_file_bytes) return failure("file too large");
    try {
        // One byte more than the size, to notice a file that grew since.
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size) + 1);
        std::size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return failure("cannot read file");
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
        }
        if (got > limits.max_file_bytes) return failure("file too large");
        bytes.resize(got);
        return prepare_image(bytes, limits);
    } catch (const std::bad_alloc&) {
        return failure("not enough memory within the memory limit");
    }
}

ImageResult load_image_file(const std::filesystem::path& file, const ImageLimits& limits) {
    const FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) return failure("cannot read file");
    return load_image_descriptor(fd.get(), limits);
}

}  // namespace kzv::host
