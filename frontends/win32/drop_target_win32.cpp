// Drops on the log pane. The rich-edit control would insert dropped text into the log
// itself; instead the pane takes drops through its own OLE drop target: text is uploaded as
// pasted code, files go to the dropped-file dispatcher as on the rest of the window. While
// a command runs, a drop is refused and has no effect. The drop itself only takes what was
// dropped: the program the drag came from waits until Drop returns, and an upload lasts
// minutes, so the job starts from a message posted to the main window.
#include <windows.h>

#include <ole2.h>
#include <shellapi.h>

#include "app/commands.h"
#include "app/session.h"
#include "frontends/win32/main_window_win32.h"

namespace {

bool HasFormat(IDataObject* data, CLIPFORMAT format) {
    FORMATETC want{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    return data && data->QueryGetData(&want) == S_OK;
}

// The dropped files' paths, one a line; empty when the data holds none.
Text DroppedFiles(IDataObject* data) {
    FORMATETC want{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (data->GetData(&want, &medium) != S_OK) return Text();
    Text paths;
    if (auto drop = static_cast<HDROP>(GlobalLock(medium.hGlobal))) {
        paths = DroppedFilePaths(drop);
        GlobalUnlock(medium.hGlobal);
    }
    ReleaseStgMedium(&medium);
    return paths;
}

Text DroppedText(IDataObject* data) {
    FORMATETC want{CF_UNICODETEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (data->GetData(&want, &medium) != S_OK) return Text();
    Text text;
    const auto* chars = static_cast<const wchar_t*>(GlobalLock(medium.hGlobal));
    if (chars) {
        // The block may be larger than its text; the text ends at the first zero.
        size_t limit = GlobalSize(medium.hGlobal) / sizeof(wchar_t);
        size_t n = 0;
        while (n < limit && chars[n] != L'\0')
            ++n;
        text.assign(chars, chars + n);
        GlobalUnlock(medium.hGlobal);
    }
    ReleaseStgMedium(&medium);
    return text;
}

// The drop target of one window's log pane; its front end owns it and frees it last, so its
// reference count is not kept. COM objects are never deleted through their interface, whose
// destructor is not virtual by design.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class LogPaneTarget final : public IDropTarget {
public:
    explicit LogPaneTarget(Win32Frontend& front) : front_(front) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        if (id == IID_IUnknown || id == IID_IDropTarget) {
            *out = static_cast<IDropTarget*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        acceptable_ = HasFormat(data, CF_HDROP) || HasFormat(data, CF_UNICODETEXT);
        *effect = Effect();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
        *effect = Effect();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override {
        acceptable_ = false;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        acceptable_ = false;
        if (CommandRunning(front_.SessionOf()) || !data) {
            *effect = DROPEFFECT_NONE;
            return S_OK;
        }
        Text taken = DroppedFiles(data);
        bool isText = taken.empty() && HasFormat(data, CF_UNICODETEXT);
        if (isText) taken = DroppedText(data);
        *effect = !taken.empty() || isText ? DROPEFFECT_COPY : DROPEFFECT_NONE;
        if (*effect == DROPEFFECT_COPY) front_.TakeLogPaneDrop(std::move(taken), isText);
        return S_OK;
    }

private:
    DWORD Effect() const {
        return acceptable_ && !CommandRunning(front_.SessionOf()) ? DROPEFFECT_COPY
                                                                  : DROPEFFECT_NONE;
    }

    Win32Frontend& front_;
    bool acceptable_ = false;
};
#pragma GCC diagnostic pop

}  // namespace

IDropTarget* MakeLogPaneDropTarget(Win32Frontend& front) {
    return new LogPaneTarget(front);
}

void FreeLogPaneDropTarget(IDropTarget* target) {
    delete static_cast<LogPaneTarget*>(target);
}

void Win32Frontend::TakeLogPaneDrop(Text taken, bool isText) {
    drop_ = {std::move(taken), isText, true};
    PostMessageW(mainWindow_, kMsgStartLogPaneDrop, 0, 0);
}

// A second drop before the first one's job started replaced it; the first one's message
// finds nothing.
void Win32Frontend::StartLogPaneDrop() {
    if (!drop_.Pending) return;
    PendingDrop taken = std::move(drop_);
    drop_ = PendingDrop();
    Session& s = *session_;
    RunJobCommand([&] {
        if (taken.IsText)
            OnTextDropped(s, taken.Taken);
        else
            OnFilesDropped(s, taken.Taken);
    });
}

Text DroppedFilePaths(HDROP drop) {
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    Text paths;
    for (UINT i = 0; i < count; ++i) {
        UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        DragQueryFileW(drop, i, path.data(), length + 1);
        if (i > 0) paths += u'\n';
        paths += Text(path.begin(), path.begin() + length);
    }
    return paths;
}

bool Win32Frontend::AcceptDropsOnLogPane(HWND pane) {
    // The control registers its own target when it is created; ours takes its place.
    RevokeDragDrop(pane);
    return RegisterDragDrop(pane, dropTarget_) == S_OK;
}
