// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "memory/memory_status.h"

#include <QLocale>
#include <QString>

#include <optional>

// The texts and figures the status display derives from one memory record. A figure that
// needs the total is empty when the total is 0 (the probe failed), so its display keeps
// what it showed before.

// AvailPhys / TotalPhys.
std::optional<double> freeFraction(const memory::MemoryInfo &info);

struct StatusTexts
{
    std::optional<QString> statusLine; // "Free: 768.0 MB - Usage: 62.5% of 2048.0 MB"
    QString statusTip;                 // "Free: 786,432.0 KB"
    QString caption;                   // "768.0MB Kelvane v1.0"
    std::optional<QString> usageLine;  // "Usage: 62.5%", the tray tip's second line
};

// The texts of the status display, written at every refresh and every step of a release.
StatusTexts statusTexts(const memory::MemoryInfo &info, const QLocale &locale = QLocale());

struct BarTexts
{
    std::optional<QString> text; // "37.5%", the free share on the usage bar
    QString tip;                 // "786,432.0 KB RAM"
};

// The usage bar's label and tool tip, written by the refresh only.
BarTexts barTexts(const memory::MemoryInfo &info, const QLocale &locale = QLocale());

// The amount slider's maximum: whole megabytes of TotalPhys - AvailPhys / 2, at least 0. Empty
// when it does not fit the slider's 16-bit range.
std::optional<int> sliderMaximum(const memory::MemoryInfo &info);
