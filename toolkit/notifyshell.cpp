// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/notifyshell.h"

namespace toolkit {

NotifyShell::~NotifyShell() = default;

bool RecordingNotifyShell::Shell_NotifyIconW(std::uint32_t message, const NotifyIconData &record)
{
    calls.push_back({message, record});
    return answer;
}

std::vector<std::uint32_t> RecordingNotifyShell::messages() const
{
    std::vector<std::uint32_t> result;
    result.reserve(calls.size());
    for (const Call &call : calls)
        result.push_back(call.message);
    return result;
}

} // namespace toolkit
