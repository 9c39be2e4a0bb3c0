// A data object carrying a list of files (CF_HDROP), as Explorer hands one to a drop target.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include "common/com_object.h"

#include <cstring>
#include <string>
#include <vector>

namespace zn {

// CF_HDROP data, wide or in the code page, in global memory the receiver frees.
inline HGLOBAL MakeDropFiles(const std::vector<std::wstring>& files, bool wide = true)
{
    std::vector<char> names;
    for (const std::wstring& file : files) {
        if (wide) {
            const auto* bytes = reinterpret_cast<const char*>(file.c_str());
            names.insert(names.end(), bytes, bytes + (file.size() + 1) * sizeof(wchar_t));
        } else {
            std::string narrow(file.size() * 2 + 1, '\0');
            const int n = ::WideCharToMultiByte(CP_ACP, 0, file.c_str(), -1, narrow.data(),
                                                static_cast<int>(narrow.size()), nullptr, nullptr);
            names.insert(names.end(), narrow.data(), narrow.data() + n);
        }
    }
    names.insert(names.end(), wide ? 2 : 1, '\0');
    const HGLOBAL memory =
        ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + names.size());
    auto* header = static_cast<DROPFILES*>(::GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = wide;
    std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), names.data(), names.size());
    ::GlobalUnlock(memory);
    return memory;
}

// Offers CF_HDROP (or, with hasFiles false, nothing at all). Reference counted: create with new,
// release when done.
class FileDropData final : public ComObject<IDataObject, &IID_IDataObject> {
public:
    explicit FileDropData(std::vector<std::wstring> files, bool hasFiles = true, bool wide = true)
        : m_files(std::move(files)), m_hasFiles(hasFiles), m_wide(wide)
    {
    }

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = MakeDropFiles(m_files, m_wide);
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override
    {
        return m_hasFiles && format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL)
                   ? S_OK
                   : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override
    {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override
    {
        if (direction != DATADIR_GET) return E_NOTIMPL;
        FORMATETC offered{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        return ::SHCreateStdEnumFmtEtc(m_hasFiles ? 1 : 0, &offered, formats);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override
    {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override
    {
        return OLE_E_ADVISENOTSUPPORTED;
    }

private:
    std::vector<std::wstring> m_files;
    bool m_hasFiles;
    bool m_wide;
};

} // namespace zn
