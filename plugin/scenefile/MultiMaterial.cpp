#include "scenefile/MultiMaterial.h"

#include <string>

#include "scenefile/globals.h"
#include "scenefile/record_io.h"

namespace imp_kzv {

std::int32_t MultiMaterial::Get_iMatIndx(const std::int32_t& indx) const {
    if (indx < 0 || indx > GetUpperBound(iMatIndxList)) {
        raise(Err::SubscriptOutOfRange,
              "material slot " + std::to_string(indx) + " of a multi-material with " +
                  std::to_string(iMatIndxList.size()) + " slots",
              std::string(kSource));
    }
    return iMatIndxList[static_cast<std::size_t>(indx)];
}

void MultiMaterial::Read(SceneReader& file) {
    record_io::GuardMemory(file, "multi-material", kSource, [&] {
        record_io::ReadInt32List(file, iMatIndxList, {"material index", record_io::kInt32Bytes, kSource});
    });
}

std::int32_t MultiMaterial::GetMatCount() const noexcept {
    return GetUpperBound(iMatIndxList) + 1;
}

}  // namespace imp_kzv
