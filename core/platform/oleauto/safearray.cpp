// One-dimensional SAFEARRAYs of fixed-size elements. The descriptor and the data
// live in one block, behind a hidden header that remembers the element type.
#include <tovi/oleauto/safearray.hpp>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

struct array_block {
    VARTYPE vt;
    SAFEARRAY descriptor;
};

array_block* block_of(SAFEARRAY* psa) {
    return reinterpret_cast<array_block*>(reinterpret_cast<unsigned char*>(psa) -
                                          offsetof(array_block, descriptor));
}

ULONG element_size(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_UI1:
            return 1;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            return 2;
        case VT_I4:
        case VT_UI4:
        case VT_R4:
        case VT_ERROR:
            return 4;
        case VT_I8:
        case VT_UI8:
        case VT_R8:
        case VT_DATE:
        case VT_CY:
            return 8;
        case VT_DECIMAL:
            return sizeof(DECIMAL);
        default:
            return 0;  // BSTR, VARIANT, interfaces: not supported
    }
}

}  // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* bounds) noexcept {
    const ULONG size = element_size(vt);
    if (size == 0 || cDims != 1 || bounds == nullptr) return nullptr;
    const std::size_t data_bytes = std::size_t(bounds[0].cElements) * size;
    const std::size_t header = (sizeof(array_block) + 15) / 16 * 16;
    auto* raw = static_cast<unsigned char*>(std::calloc(1, header + data_bytes + 1));
    if (raw == nullptr) return nullptr;
    auto* block = new (raw) array_block{};
    block->vt = vt;
    SAFEARRAY& sa = block->descriptor;
    sa.cDims = 1;
    sa.cbElements = size;
    sa.cLocks = 0;
    sa.pvData = raw + header;
    sa.rgsabound[0] = bounds[0];
    return &sa;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) noexcept {
    SAFEARRAYBOUND bound{cElements, lLbound};
    return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) noexcept {
    if (psa == nullptr) return S_OK;
    if (psa->cLocks != 0) return DISP_E_ARRAYISLOCKED;
    array_block* block = block_of(psa);
    block->~array_block();
    std::free(block);
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) noexcept {
    if (psa == nullptr || ppvData == nullptr) return E_INVALIDARG;
    ++psa->cLocks;
    *ppvData = psa->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) noexcept {
    if (psa == nullptr) return E_INVALIDARG;
    if (psa->cLocks == 0) return E_UNEXPECTED;
    --psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) noexcept {
    if (psa == nullptr || plLbound == nullptr) return E_INVALIDARG;
    if (nDim < 1 || nDim > psa->cDims) return DISP_E_BADINDEX;
    *plLbound = psa->rgsabound[nDim - 1].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) noexcept {
    if (psa == nullptr || plUbound == nullptr) return E_INVALIDARG;
    if (nDim < 1 || nDim > psa->cDims) return DISP_E_BADINDEX;
    const SAFEARRAYBOUND& b = psa->rgsabound[nDim - 1];
    *plUbound = static_cast<LONG>(static_cast<long long>(b.lLbound) + b.cElements - 1);
    return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* psa) noexcept {
    return psa == nullptr ? 0 : psa->cDims;
}

UINT SafeArrayGetElemsize(SAFEARRAY* psa) noexcept {
    return psa == nullptr ? 0 : psa->cbElements;
}

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) noexcept {
    if (psa == nullptr || pvt == nullptr) return E_INVALIDARG;
    *pvt = block_of(psa)->vt;
    return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) noexcept {
    if (ppsaOut == nullptr) return E_INVALIDARG;
    *ppsaOut = nullptr;
    if (psa == nullptr) return S_OK;
    SAFEARRAY* copy = SafeArrayCreate(block_of(psa)->vt, psa->cDims, psa->rgsabound);
    if (copy == nullptr) return E_OUTOFMEMORY;
    std::memcpy(copy->pvData, psa->pvData,
                std::size_t(psa->rgsabound[0].cElements) * psa->cbElements);
    *ppsaOut = copy;
    return S_OK;
}
