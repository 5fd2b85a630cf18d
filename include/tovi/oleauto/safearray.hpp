// SAFEARRAY services: one-dimensional arrays of fixed-size elements (numbers,
// booleans, dates, decimals), which is what tovi moves bytes and long text in.
// Arrays of BSTR, VARIANT or interface pointers are not supported: creating one
// returns null.
#ifndef TOVI_OLEAUTO_SAFEARRAY_HPP
#define TOVI_OLEAUTO_SAFEARRAY_HPP

#include <tovi/config.hpp>
#include <tovi/oleauto/types.hpp>

// Null when the element type is not supported, cDims is not 1, or memory runs out.
// The elements start zeroed.
TOVI_API SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* bounds) noexcept;
TOVI_API SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) noexcept;
// Fails with DISP_E_ARRAYISLOCKED while the data is accessed.
TOVI_API HRESULT SafeArrayDestroy(SAFEARRAY* psa) noexcept;
TOVI_API HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) noexcept;
TOVI_API HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) noexcept;
// nDim counts from 1.
TOVI_API HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) noexcept;
TOVI_API HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) noexcept;
TOVI_API UINT SafeArrayGetDim(SAFEARRAY* psa) noexcept;
TOVI_API UINT SafeArrayGetElemsize(SAFEARRAY* psa) noexcept;
TOVI_API HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) noexcept;
// A deep copy in *ppsaOut.
TOVI_API HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) noexcept;

#endif
