// The record classes as objects of the component: their class factories create a new, empty record and
// hand it out through its automation interface (shell/record_interfaces.h), IObject included. Every
// such object keeps the component loaded while it lives.
#pragma once

#include <string_view>

#include "tessavo/host_scene.h"

namespace imp_kzv {

// The factory creation of a record class; use it in the class table as &CreateRecordObject<p3dWorld>.
// Defined for the thirteen record classes.
template <class Record>
tessavo::Status CreateRecordObject(std::string_view interface_id, void*& object) noexcept;

}  // namespace imp_kzv
