// A desktop for window tests: records every box, answers confirmations and
// save dialogs as the test says, opens nothing, and tells the test's time.
#pragma once

#include "platform/Clock.h"
#include "ui/Desktop.h"

#include <QStringList>

#include <functional>

class FakeDesktop : public tarnwick::ui::Desktop
{
public:
    explicit FakeDesktop(const tarnwick::Clock& clock = tarnwick::Clock::system()) : m_clock(clock)
    {
    }

    QStringList informations, errors, confirmations, opened;
    int saveDialogs = 0;
    bool confirmAnswer = true;
    // Runs while a confirmation is "open", as other events would.
    std::function<void()> whileConfirming;
    QString saveAnswer; // empty: the dialog is cancelled

    void information(QWidget*, const QString& text) override { informations << text; }
    void error(QWidget*, const QString& text) override { errors << text; }
    bool confirm(QWidget*, const QString& text) override
    {
        confirmations << text;
        if (whileConfirming)
            whileConfirming();
        return confirmAnswer;
    }
    QString saveFileName(QWidget*, const QString&, const QString&) override
    {
        ++saveDialogs;
        return saveAnswer;
    }
    bool open(const QString& pathOrAddress) override
    {
        opened << pathOrAddress;
        return true;
    }
    const tarnwick::Clock& clock() const override { return m_clock; }

private:
    const tarnwick::Clock& m_clock;
};
