// The glTF JSON of a Document: members in a fixed order, values left out where glTF's default
// says the same, numbers in their shortest exact form, so that one document always gives the
// same bytes.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "host/gltf/document.h"

namespace kzv::host::gltf {

// `buffer_uri` names the external binary file (.gltf), or is empty for a .glb's own buffer;
// `pretty` indents by two spaces per level.
std::string document_json(const Document& document, const std::string& buffer_uri, bool pretty);

// Receives the text piece by piece.
using JsonSink = std::function<void(std::string_view text)>;

// The same text handed to `sink` in pieces of about 64 KiB as it is made, so that it never exists
// whole in memory; answers its length.
std::size_t write_document_json(const Document& document, const std::string& buffer_uri, bool pretty,
                                const JsonSink& sink);

}  // namespace kzv::host::gltf
