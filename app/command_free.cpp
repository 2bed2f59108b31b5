// SPDX-License-Identifier: GPL-3.0-or-later
// --free N: the window's release without a window, progress on standard output.
#include "app/command_line.h"
#include "app/command_output.h"
#include "app/commands.h"
#include "app/status_texts.h"
#include "memory/release_engine.h"
#include "memory/system_memory.h"
#include "toolkit/display.h"

#include <algorithm>
#include <csignal>

namespace cli {
namespace {

constexpr int BarWidth = 16;
constexpr int MiBPerBlock = static_cast<int>(memory::BlockBytes >> 20);

volatile std::sig_atomic_t stopSignal = 0;

void onStopSignal(int signal)
{
    stopSignal = signal;
}

void put(const QString &text)
{
    print(text);
    flushOutput();
}

// Each step of the release as a terminal shows it: one bar redrawn in place on a terminal,
// a line at each new whole percent otherwise (a log, a pipe).
class TerminalSteps final : public memory::ReleaseHost
{
public:
    explicit TerminalSteps(memory::Kernel32 &kernel)
        : m_kernel(kernel)
        , m_terminal(outputIsTerminal())
    {
    }

    void progress(int step, int amount) override
    {
        m_step = step;
        m_amount = amount;
    }

    void updateStatus() override
    {
        const int percent = static_cast<int>(100LL * m_step / m_amount);
        if (!m_terminal && percent == m_shownPercent)
            return;
        m_shownPercent = percent;
        const QString status = statusTexts(memory::GetMemoryStatus(m_kernel)).statusLine.value_or(QString());
        const QString figures
            = QStringLiteral("%1% %2/%3 MB  %4").arg(percent, 3).arg(m_step).arg(m_amount).arg(status);
        if (!m_terminal) {
            put(figures + u'\n');
            return;
        }
        const int filled = BarWidth * m_step / m_amount;
        const QString bar
            = u'[' + QString(filled, u'#') + QString(BarWidth - filled, u'.') + QStringLiteral("] ");
        // Cut to the terminal's width, or a wrapped line would not be redrawn in place.
        put(u'\r' + (bar + figures).left(terminalColumns() - 1) + QStringLiteral("\033[K"));
        m_barShown = true;
    }

    void processPendingEvents() override { }
    bool stopRequested() override { return stopSignal != 0; }

    // Ends the bar's line, so what follows starts on a line of its own.
    void finish()
    {
        if (m_barShown)
            put(QStringLiteral("\n"));
    }

private:
    memory::Kernel32 &m_kernel;
    bool m_terminal;
    bool m_barShown = false;
    int m_step = 0;
    int m_amount = 1;
    int m_shownPercent = -1;
};

} // namespace

int freeMemory(int megabytes)
{
    const auto system = memory::systemKernel32();
    memory::Kernel32 &kernel = *system;
    const memory::MemoryInfo before = memory::GetMemoryStatus(kernel);
    if (!freeFraction(before))
        return complain(
            QStringLiteral("cannot read the memory figures (%1)").arg(QLatin1String(memory::figuresSource())),
            Failed);
    // The window's slider offers no more than this; a maximum above its 16-bit range leaves
    // the range's own top.
    const int offered = sliderMaximum(before).value_or(32767);
    const int amount = std::min(megabytes, offered);
    if (amount < megabytes)
        (void)complain(
            QStringLiteral("%1 MB is more than the %2 MB the amount slider offers now; freeing %2 MB")
                .arg(megabytes)
                .arg(offered),
            Done);
    if (amount < 1)
        return complain(QStringLiteral("no memory to free: the amount slider offers 0 MB"), Failed);

    // The run sees the signal at its next check, after the current block.
    toolkit::onTerminationSignals(onStopSignal);
    // Steps beyond the block table take nothing, in the window as here.
    put(QStringLiteral("Freeing %1 MB: taking %2 MiB in blocks of %3 MiB, then giving it all back\n")
            .arg(amount)
            .arg(std::min(amount, memory::BlockSlots) * MiBPerBlock)
            .arg(MiBPerBlock));
    TerminalSteps steps(kernel);
    const auto blocks = memory::systemBlockSource();
    // Returns only after every block it took has been given back.
    const memory::ReleaseOutcome outcome
        = memory::runRelease(static_cast<std::int16_t>(amount), steps, *blocks);
    steps.finish();

    QString summary = outcome.stopped
        ? QStringLiteral("Stopped at step %1 of %2: ").arg(outcome.steps).arg(amount)
        : QStringLiteral("Done: ");
    summary += QStringLiteral("took %1 MiB, all given back").arg(outcome.made * MiBPerBlock);
    if (outcome.failed > 0)
        summary += QStringLiteral("; %1 blocks were not taken, as the system had no room to spare")
                       .arg(outcome.failed);
    put(summary + u'\n');
    if (const auto status = statusTexts(memory::GetMemoryStatus(kernel)).statusLine)
        put(*status + u'\n');
    return Done;
}

} // namespace cli
