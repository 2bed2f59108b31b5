// SPDX-License-Identifier: GPL-3.0-or-later
// Prints the text of every tool tip shown on the desktop, one tip per record ending in a line
// "--"; the tool tips of other programs are windows of the common controls' tool-tip class
// whose window text is the tip they show.
#include <windows.h>

#include <cstdio>

namespace {

BOOL CALLBACK printTip(HWND window, LPARAM)
{
    wchar_t className[64] = {};
    if (!::IsWindowVisible(window) || ::GetClassNameW(window, className, 64) == 0
        || ::lstrcmpiW(className, L"tooltips_class32") != 0)
        return TRUE;
    wchar_t text[512] = {};
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &length))
        return TRUE;
    char utf8[2048] = {};
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), utf8, sizeof utf8 - 1, nullptr, nullptr);
    std::fwrite(utf8, 1, static_cast<size_t>(bytes > 0 ? bytes : 0), stdout);
    std::fputs("\n--\n", stdout);
    return TRUE;
}

} // namespace

int main()
{
    ::EnumWindows(printTip, 0);
    return 0;
}
