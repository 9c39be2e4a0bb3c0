#include "window/drop_target_win32.h"

#include "common/app_error.h"
#include "window/drop_files.h"

#include <new>

namespace zn {
namespace {

FORMATETC FileListFormat()
{
    return {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

std::wstring FromCodePage(std::string_view text)
{
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), length);
    return wide;
}

// Owns what IDataObject::GetData handed out, and the lock on its memory.
class LockedMedium {
public:
    explicit LockedMedium(STGMEDIUM& medium)
        : m_medium(medium), m_data(::GlobalLock(medium.hGlobal))
    {
    }
    ~LockedMedium()
    {
        if (m_data != nullptr) ::GlobalUnlock(m_medium.hGlobal);
        ::ReleaseStgMedium(&m_medium);
    }
    LockedMedium(const LockedMedium&) = delete;
    LockedMedium& operator=(const LockedMedium&) = delete;

    std::span<const std::uint8_t> Bytes() const
    {
        if (m_data == nullptr) return {};
        return {static_cast<const std::uint8_t*>(m_data), ::GlobalSize(m_medium.hGlobal)};
    }

private:
    STGMEDIUM& m_medium;
    void* m_data;
};

} // namespace

DroppedFiles ReadDroppedFiles(IDataObject* data)
{
    if (data == nullptr) return std::nullopt;
    FORMATETC format = FileListFormat();
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&format, &medium))) return std::nullopt;
    if (medium.tymed != TYMED_HGLOBAL) {
        ::ReleaseStgMedium(&medium);
        return std::nullopt;
    }
    const LockedMedium locked(medium);
    return ParseDropFiles(locked.Bytes(), FromCodePage);
}

DroppedFiles FilesOfDrop(HDROP drop)
{
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<std::wstring> files;
    for (UINT i = 0; i < count; ++i) {
        std::wstring file(::DragQueryFileW(drop, i, nullptr, 0), L'\0');
        file.resize(::DragQueryFileW(drop, i, file.data(), static_cast<UINT>(file.size() + 1)));
        files.push_back(std::move(file));
    }
    return files;
}

ComPtr<FileDropTarget> FileDropTarget::Create(DropHandler handler)
{
    return ComPtr<FileDropTarget>::Attach(new FileDropTarget(std::move(handler)));
}

HRESULT FileDropTarget::Register(HWND window)
{
    const HRESULT result = ::RegisterDragDrop(window, this);
    if (SUCCEEDED(result)) m_window = window;
    return result;
}

void FileDropTarget::Revoke()
{
    if (m_window != nullptr) ::RevokeDragDrop(m_window);
    m_window = nullptr;
    m_handler = nullptr;
}

HRESULT FileDropTarget::QueryInterface(REFIID iid, void** object) noexcept
{
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDropTarget) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG FileDropTarget::AddRef() noexcept
{
    return static_cast<ULONG>(::InterlockedIncrement(&m_references));
}

ULONG FileDropTarget::Release() noexcept
{
    const LONG left = ::InterlockedDecrement(&m_references);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HRESULT FileDropTarget::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) noexcept
{
    FORMATETC format = FileListFormat();
    m_hasFiles = data != nullptr && data->QueryGetData(&format) == S_OK;
    if (effect != nullptr) *effect = m_hasFiles ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    return S_OK;
}

HRESULT FileDropTarget::DragOver(DWORD, POINTL, DWORD* effect) noexcept
{
    if (effect != nullptr) *effect = m_hasFiles ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    return S_OK;
}

HRESULT FileDropTarget::DragLeave() noexcept
{
    m_hasFiles = false;
    return S_OK;
}

HRESULT FileDropTarget::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) noexcept
{
    m_hasFiles = false;
    if (effect == nullptr) return E_INVALIDARG;
    // A handler that fails closes the window, whose WM_DESTROY revokes this target: the handler
    // is cleared and OLE lets go of the target. The call keeps both until it is done.
    AddRef();
    const auto self = ComPtr<FileDropTarget>::Attach(this);
    // The handler keeps the source waiting: it only updates the window, never asks anything.
    try {
        const DropHandler handler = m_handler;
        const DroppedFiles files = ReadDroppedFiles(data);
        if (handler) handler(files, static_cast<std::int32_t>(*effect));
    } catch (const std::bad_alloc&) {
        *effect = DROPEFFECT_NONE;
        return E_OUTOFMEMORY;
    } catch (...) {
        *effect = DROPEFFECT_NONE;
        return E_UNEXPECTED;
    }
    *effect = DROPEFFECT_COPY;
    return S_OK;
}

OleScope::OleScope()
{
    const HRESULT result = ::OleInitialize(nullptr);
    if (FAILED(result))
        Fail(static_cast<std::uint32_t>(result),
             L"ドラッグ アンド ドロップを準備できませんでした。");
}

OleScope::~OleScope()
{
    ::OleUninitialize();
}

} // namespace zn
