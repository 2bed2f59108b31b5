// SPDX-License-Identifier: GPL-3.0-or-later
// Balloon tips and the texts of the outcome numbers.
#include "systray/clsSystray.h"

#include <array>

namespace {

using namespace toolkit;

struct Outcome
{
    std::int32_t number;
    const char *text;
};

constexpr std::array<Outcome, 12> Outcomes{{
    {0, "Success :-)"},
    {-1, "This is not a Form."},
    {-2, "Try-Icon has no Parent Form."},
    {-3, "You must suppy an Icon."},
    {4, "No suitable Menu found."},
    {5, "Menu is suitable but not hidden."},
    {6, "No default Menu Item found; bold font was not applied."},
    {-7, "No Tray-Icon was loaded."},
    {-8, "The Tray-Icon is disabled."},
    {-9, "Tray-Icon was already loaded."},
    {-10, "Balloon Icon identifier illegal."},
    {-11, "Balloon Text was missing."},
}};

// NIIF_NONE to NIIF_ERROR, with or without NIIF_NOSOUND.
bool isBalloonStyle(std::int32_t style)
{
    const std::int32_t icon = style & ~static_cast<std::int32_t>(NIIF_NOSOUND);
    return icon >= 0 && icon <= static_cast<std::int32_t>(NIIF_ERROR);
}

} // namespace

std::int32_t clsSystray::ShowBalloon(const QString &Message, const QString &Title, std::int32_t Style,
                                     std::int32_t TimeOut)
{
    if (const std::int32_t refusal = trayRefusal()) {
        myLastError = refusal;
    } else if (!isBalloonStyle(Style)) {
        myLastError = -10;
    } else {
        writeU32(myIconData, nid::uFlags, NIF_INFO);
        if (Message.isEmpty()) {
            clearBalloonFields();
        } else {
            CopyTextToField(Message, nid::szInfo, nid::szInfoUnits);
            CopyTextToField(Title, nid::szInfoTitle, nid::szInfoTitleUnits);
            writeU32(myIconData, nid::dwInfoFlags, static_cast<std::uint32_t>(Style));
            writeU32(myIconData, nid::uTimeout, static_cast<std::uint32_t>(TimeOut));
        }
        RefreshIcon();
        myLastError = 0;
    }
    return myLastError;
}

void clsSystray::clearBalloonFields()
{
    writeUnit(myIconData, nid::szInfoTitle, 0, 0);
    writeUnit(myIconData, nid::szInfo, 0, 0);
    writeU32(myIconData, nid::dwInfoFlags, 0);
}

std::int32_t clsSystray::HideBalloon()
{
    if (const std::int32_t refusal = trayRefusal()) {
        myLastError = refusal;
    } else {
        writeU32(myIconData, nid::uFlags, NIF_INFO);
        clearBalloonFields();
        RefreshIcon();
        myLastError = 0;
    }
    return myLastError;
}

QString clsSystray::outcomeText(std::int32_t number)
{
    for (const Outcome &outcome : Outcomes) {
        if (outcome.number == number)
            return QString::fromLatin1(outcome.text);
    }
    return {};
}
