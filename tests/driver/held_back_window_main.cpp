// held_back_window: shows a window filled with one colour once an event is set. Until then its
// thread answers every message sent to it but holds back its painting: the window is on the
// screen with nothing of its own drawn there. Ends when the window is closed.
//   held_back_window EVENT-NAME

#include "held_back_window.h"

#include "base/handles.h"

namespace {

using namespace tamrick::driver::test;

LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_NCCREATE: {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        // Sent messages are handled meanwhile: the thread answers, it just doesn't paint.
        auto* go = reinterpret_cast<HANDLE>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        while (MsgWaitForMultipleObjects(1, &go, FALSE, INFINITE, QS_SENDMESSAGE) !=
               WAIT_OBJECT_0) {
            MSG pending;
            PeekMessageW(&pending, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        PAINTSTRUCT paint;
        const HDC dc = BeginPaint(hwnd, &paint);
        const tamrick::UniqueBrush brush(CreateSolidBrush(kHeldBackColour));
        FillRect(dc, &paint.rcPaint, brush.get());
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        return 2;
    }
    const tamrick::UniqueHandle go(OpenEventW(SYNCHRONIZE, FALSE, argv[1]));
    if (!go) {
        return 2;
    }
    WNDCLASSW cls{};
    cls.lpfnWndProc = Proc;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    cls.lpszClassName = kHeldBackClass;
    RegisterClassW(&cls);
    const RECT& r = kHeldBackRect;
    if (!CreateWindowExW(WS_EX_TOPMOST, kHeldBackClass, L"held back", WS_POPUP | WS_VISIBLE, r.left,
                         r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr, cls.hInstance,
                         go.get())) {
        return 1;
    }
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageW(&msg);
    }
    return 0;
}
