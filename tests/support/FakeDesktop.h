// SPDX-License-Identifier: GPL-3.0-or-later
// A desktop for window tests: records every box, picker and notification,
// answers them from queues the test fills, opens nothing, lets the test
// click a notification, and tells the test's time. An empty queue gives the
// default answer: OK for a confirmation, cancel for a picker or a save
// dialog.
#pragma once

#include "platform/Clock.h"
#include "ui/Desktop.h"

#include <QList>
#include <QStringList>

#include <functional>
#include <optional>

class FakeDesktop : public tarnwick::ui::Desktop
{
public:
    explicit FakeDesktop(const tarnwick::Clock& clock = tarnwick::Clock::system()) : m_clock(clock)
    {
    }

    QStringList informations, errors, confirmations, opened, folderPrompts;
    QStringList openFilters;       // the filters of each open dialog, in order
    QStringList openAnswers;       // empty text: the open dialog is cancelled
    QStringList played;            // every sound started
    QString playFailure;           // what playSound answers
    int stops = 0;
    int saveDialogs = 0;
    int colourDialogs = 0;
    QList<bool> confirmAnswers;       // one per confirmation, in order
    QStringList saveAnswers;          // empty text: the dialog is cancelled
    QStringList folderAnswers;        // empty text: the picker is cancelled
    QList<std::optional<QColor>> colourAnswers;
    bool openSucceeds = true;
    // Runs while a confirmation is "open", as other events would.
    std::function<void()> whileConfirming;

    void information(QWidget*, const QString& text) override { informations << text; }
    void error(QWidget*, const QString& text) override { errors << text; }
    bool confirm(QWidget*, const QString& text) override
    {
        confirmations << text;
        if (whileConfirming)
            whileConfirming();
        return confirmAnswers.isEmpty() ? true : confirmAnswers.takeFirst();
    }
    QString saveFileName(QWidget*, const QString&, const QString&) override
    {
        ++saveDialogs;
        return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
    }
    QString openFileName(QWidget*, const QString& filters, const QString&) override
    {
        openFilters << filters;
        return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
    }
    QString playSound(const QString& file) override
    {
        played << file;
        return playFailure;
    }
    void stopSound() override { ++stops; }
    QList<tarnwick::ui::TaskNotice> notices; // every notification, in order
    bool notifySucceeds = true;
    bool notify(QSystemTrayIcon*, const tarnwick::ui::TaskNotice& notice) override
    {
        notices << notice;
        return notifySucceeds;
    }
    void onNotificationClicked(std::function<void(const QString&)> clicked) override
    {
        m_clicked = std::move(clicked);
    }
    // The user clicks the notification of the task, as the desktop tells it.
    void clickNotification(const QString& taskId)
    {
        if (m_clicked)
            m_clicked(taskId);
    }
    QString folder(QWidget*, const QString& prompt) override
    {
        folderPrompts << prompt;
        return folderAnswers.isEmpty() ? QString() : folderAnswers.takeFirst();
    }
    std::optional<QColor> colour(QWidget*, const QColor&) override
    {
        ++colourDialogs;
        return colourAnswers.isEmpty() ? std::nullopt : colourAnswers.takeFirst();
    }
    bool open(const QString& pathOrAddress) override
    {
        opened << pathOrAddress;
        return openSucceeds;
    }
    const tarnwick::Clock& clock() const override { return m_clock; }

private:
    const tarnwick::Clock& m_clock;
    std::function<void(const QString&)> m_clicked;
};
