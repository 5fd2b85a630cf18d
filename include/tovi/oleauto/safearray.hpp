/// @file
/// SAFEARRAY services: one-dimensional arrays of fixed-size elements (numbers,
/// booleans, dates, decimals), which is what tovi moves bytes and long text in.
/// Arrays of BSTR, VARIANT or interface pointers are not supported: creating one
/// returns null.
#ifndef TOVI_OLEAUTO_SAFEARRAY_HPP
#define TOVI_OLEAUTO_SAFEARRAY_HPP

#include <tovi/config.hpp>
#include <tovi/oleauto/types.hpp>

/// Null when the element type is not supported, cDims is not 1, or memory runs out.
/// The elements start zeroed.
TOVI_API SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* bounds) noexcept;
/// A one-dimensional array of `cElements` starting at index `lLbound`; null as for SafeArrayCreate.
TOVI_API SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) noexcept;
/// Fails with DISP_E_ARRAYISLOCKED while the data is accessed.
TOVI_API HRESULT SafeArrayDestroy(SAFEARRAY* psa) noexcept;
/// Locks the array and gives its elements in *ppvData; pair with SafeArrayUnaccessData.
TOVI_API HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) noexcept;
/// Unlocks what SafeArrayAccessData locked.
TOVI_API HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) noexcept;
/// The lower bound of dimension nDim (from 1) in *plLbound.
TOVI_API HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) noexcept;
/// The upper bound of dimension nDim (from 1) in *plUbound.
TOVI_API HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) noexcept;
/// The number of dimensions (always 1 here).
TOVI_API UINT SafeArrayGetDim(SAFEARRAY* psa) noexcept;
/// The size of one element in bytes.
TOVI_API UINT SafeArrayGetElemsize(SAFEARRAY* psa) noexcept;
/// The element type in *pvt.
TOVI_API HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) noexcept;
/// A deep copy in *ppsaOut.
TOVI_API HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) noexcept;

#endif
