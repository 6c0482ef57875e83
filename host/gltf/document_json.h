// The glTF JSON of a Document: members in a fixed order, values left out where glTF's default
// says the same, numbers in their shortest exact form, so that one document always gives the
// same bytes.
#pragma once

#include <string>

#include "host/gltf/document.h"

namespace kzv::host::gltf {

// `buffer_uri` names the external binary file (.gltf), or is empty for a .glb's own buffer;
// `pretty` indents by two spaces per level.
std::string document_json(const Document& document, const std::string& buffer_uri, bool pretty);

}  // namespace kzv::host::gltf
