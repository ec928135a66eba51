#include "store/ActivityStore.h"

namespace corvane {

namespace {

int32_t CompareSensorRecords(const void* a, const void* b) {
    return CompareSerNo(static_cast<const TSensor*>(a)->SerNo,
                        static_cast<const TSensor*>(b)->SerNo);
}

int32_t CompareSerNoKey(const void* key, const void* record) {
    return CompareSerNo(*static_cast<const int64_t*>(key),
                        static_cast<const TSensor*>(record)->SerNo);
}

} // namespace

TStore::TStore(const TClock& clock, TCorvListener& listener)
    : clock_(clock), listener_(listener) {
    for (int i = 0; i + 1 < MaxSensors; ++i)
        NdSerNo[i].Right = &NdSerNo[i + 1];
    SerNoTree.SetPool(&NdSerNo[0]);
    SerNoTree.CompareDD = CompareSensorRecords;
    SerNoTree.CompareKD = CompareSerNoKey;
}

std::unique_ptr<TStore> TStore::Create(const TClock& clock, TCorvListener& listener) {
    return std::make_unique<TStore>(clock, listener);
}

} // namespace corvane
