// The OLE drop target of the registration window's text box. It lives on one single-threaded
// apartment: OLE calls it on the thread that registered it, one call at a time, so nothing in
// it is locked.
//
// 1. OleInitialize on the window's thread (OleScope).
// 2. Create one with the handler, then Register it on the text box's window.
// 3. Revoke it before the window is destroyed; after that the handler is never called. A
//    handler may itself cause the revoke (it closes the window): the running call finishes
//    with the handler and the target it started with.
#pragma once

#include "common/com_ptr.h"

#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zn {

using DroppedFiles = std::optional<std::vector<std::wstring>>; // nullopt: the data had no file list
// Called for each drop with the files and the effects the source allows (copy 1, move 2, link 4).
using DropHandler = std::function<void(const DroppedFiles& files, std::int32_t allowedEffects)>;

// The files of a data object's CF_HDROP, or nullopt when it has none.
DroppedFiles ReadDroppedFiles(IDataObject* data);
// The files of a classic drop (WM_DROPFILES). The caller still frees the drop (DragFinish).
DroppedFiles FilesOfDrop(HDROP drop);

class FileDropTarget final : public IDropTarget {
public:
    static ComPtr<FileDropTarget> Create(DropHandler handler);

    HRESULT Register(HWND window);
    void Revoke();

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;

    // IDropTarget: files show the copy cursor, anything else none; a drop always reports copy
    // back, so that no drag source deletes the user's editor after a "move".
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL point,
                                        DWORD* effect) noexcept override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL point, DWORD* effect) noexcept override;
    HRESULT STDMETHODCALLTYPE DragLeave() noexcept override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL point,
                                   DWORD* effect) noexcept override;

private:
    explicit FileDropTarget(DropHandler handler) : m_handler(std::move(handler)) {}
    ~FileDropTarget() = default;

    LONG m_references = 1;
    HWND m_window = nullptr;
    bool m_hasFiles = false;
    DropHandler m_handler;
};

// OleInitialize for the life of the scope. Throws when OLE cannot be initialised.
class OleScope {
public:
    OleScope();
    ~OleScope();
    OleScope(const OleScope&) = delete;
    OleScope& operator=(const OleScope&) = delete;
};

} // namespace zn
