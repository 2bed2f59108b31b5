// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/handles.h"

#include <QIcon>
#include <QPointer>
#include <QWidget>

#include <unordered_map>

namespace toolkit::handles {
namespace {

struct Registry
{
    std::uint32_t last = 0;
    std::unordered_map<std::uint32_t, QPointer<QWidget>> windows;
    std::unordered_map<const QWidget *, std::uint32_t> windowHandles;
    std::unordered_map<std::uint32_t, QIcon> icons;
    std::unordered_map<qint64, std::uint32_t> iconHandles;

    std::uint32_t next()
    {
        // Four billion handles outlast any run; skipping 0 keeps "none" unambiguous.
        if (++last == 0)
            ++last;
        return last;
    }
};

Registry &registry()
{
    // Never destroyed: a window may still ask for its handle while statics are torn down.
    static auto *instance = new Registry;
    return *instance;
}

} // namespace

std::uint32_t forWindow(const QWidget *window)
{
    if (!window)
        return 0;
    Registry &r = registry();
    if (const auto it = r.windowHandles.find(window); it != r.windowHandles.end()) {
        // A destroyed window's address may have been reused by a new one: that one gets
        // a fresh handle.
        const auto known = r.windows.find(it->second);
        if (known != r.windows.end() && known->second == window)
            return it->second;
        if (known != r.windows.end())
            r.windows.erase(known);
    }
    const std::uint32_t handle = r.next();
    // The registry only resolves handles back to the caller's windows; it never modifies one.
    r.windows.emplace(handle, QPointer<QWidget>(const_cast<QWidget *>(window)));
    r.windowHandles[window] = handle;
    return handle;
}

QWidget *window(std::uint32_t handle)
{
    Registry &r = registry();
    const auto it = r.windows.find(handle);
    return it == r.windows.end() ? nullptr : it->second.data();
}

std::uint32_t forIcon(const QIcon &icon)
{
    if (icon.isNull())
        return 0;
    Registry &r = registry();
    // The cache key names the icon's shared contents; the copy kept below keeps that key
    // from being reused by another icon.
    if (const auto it = r.iconHandles.find(icon.cacheKey()); it != r.iconHandles.end())
        return it->second;
    const std::uint32_t handle = r.next();
    r.icons.emplace(handle, icon);
    r.iconHandles.emplace(icon.cacheKey(), handle);
    return handle;
}

QIcon icon(std::uint32_t handle)
{
    Registry &r = registry();
    const auto it = r.icons.find(handle);
    return it == r.icons.end() ? QIcon() : it->second;
}

} // namespace toolkit::handles
