// myActionUndoRedo: the component's implementation of the host's ActionUndoRedo contract. An import
// registers no undo action, so nothing creates one yet and both members do nothing; errors in them
// would be passed on with RaiseErrToCaller("myActionUndoRedo", <member>).
#pragma once

#include "tessavo/object.h"
#include "tessavo/plug.h"

namespace imp_kzv {

class myActionUndoRedo final : public tessavo::RefCounted<tessavo::ActionUndoRedo> {
  public:
    tessavo::Status Undo() noexcept override { return ActionUndoRedo_Undo(); }
    tessavo::Status Redo() noexcept override { return ActionUndoRedo_Redo(); }

    tessavo::Status ActionUndoRedo_Undo() noexcept { return {}; }
    tessavo::Status ActionUndoRedo_Redo() noexcept { return {}; }
};

}  // namespace imp_kzv
