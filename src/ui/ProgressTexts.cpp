// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ProgressTexts.h"

#include "ui/Language.h"
#include "ui/RunChart.h"

namespace tarnwick::ui {

namespace {

constexpr UiText kEntries[] = {
    {"Row", "Running: %1 files, %2"},
    {"Counters", "%1 files copied (%2), %3 files looked at"},
    {"Rate", "%1/s"},
    {"Suspended", "suspended"},
    {"Current", "Copying: %1"},
};

} // namespace

std::span<const UiText> ProgressTexts::entries()
{
    return kEntries;
}

ProgressTexts::ProgressTexts()
    : m_row(QString::fromUtf8(kEntries[0].english)),
      m_counters(QString::fromUtf8(kEntries[1].english)),
      m_rate(QString::fromUtf8(kEntries[2].english)),
      m_suspended(QString::fromUtf8(kEntries[3].english)),
      m_current(QString::fromUtf8(kEntries[4].english))
{
}

ProgressTexts ProgressTexts::load(const QString& language)
{
    const QStringList read = LanguageTexts(language, kSection, kEntries);
    ProgressTexts texts;
    texts.m_row = read.value(0);
    texts.m_counters = read.value(1);
    texts.m_rate = read.value(2);
    texts.m_suspended = read.value(3);
    texts.m_current = read.value(4);
    return texts;
}

QString ProgressTexts::row(const RunProgress& progress) const
{
    return m_row.arg(progress.filesCopied).arg(RunChart::bytesText(progress.bytesCopied));
}

QString ProgressTexts::counters(const RunProgress& progress, bool suspended) const
{
    QString text = m_counters.arg(progress.filesCopied)
                       .arg(RunChart::bytesText(progress.bytesCopied))
                       .arg(progress.filesLooked);
    if (suspended)
        text += QStringLiteral(", ") + m_suspended;
    else if (progress.rateKnown)
        text += QStringLiteral(", ") + m_rate.arg(RunChart::bytesText(progress.bytesPerSecond));
    return text;
}

QString ProgressTexts::current(const RunProgress& progress) const
{
    return progress.currentFile.isEmpty() ? QString() : m_current.arg(progress.currentFile);
}

} // namespace tarnwick::ui
