// The real desktop behind the windows.
#include "ui/Desktop.h"

#include "platform/Clock.h"
#include "platform/SoundPlayer.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QUrl>

#include <exception>

namespace tarnwick::ui {

namespace {

// Titles stay empty: the application's name is the window title of a box
// without one, and no display name is appended to dialog titles.
class StandardDesktop final : public Desktop
{
public:
    void information(QWidget* parent, const QString& text) override
    {
        QMessageBox::information(parent, QStringLiteral("Tarnwick"), text);
    }
    void error(QWidget* parent, const QString& text) override
    {
        QMessageBox::critical(parent, QStringLiteral("Tarnwick"), text);
    }
    bool confirm(QWidget* parent, const QString& text) override
    {
        return QMessageBox::question(parent, QStringLiteral("Tarnwick"), text,
                                     QMessageBox::Ok | QMessageBox::Cancel,
                                     QMessageBox::Cancel) == QMessageBox::Ok;
    }
    QString saveFileName(QWidget* parent, const QString& filter,
                         const QString& defaultSuffix) override
    {
        QFileDialog dialog(parent);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter(filter);
        dialog.setDefaultSuffix(defaultSuffix);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().first();
    }
    QString openFileName(QWidget* parent, const QString& filters,
                         const QString& selected) override
    {
        QString chosenFilter = selected;
        return QFileDialog::getOpenFileName(parent, QString(), QString(), filters, &chosenFilter);
    }
    QString folder(QWidget* parent, const QString& prompt) override
    {
        const QString chosen = QFileDialog::getExistingDirectory(parent, prompt);
        if (chosen.isEmpty())
            return chosen;
        return chosen.endsWith(u'/') ? chosen : chosen + u'/';
    }
    std::optional<QColor> colour(QWidget* parent, const QColor& initial) override
    {
        const QColor chosen = QColorDialog::getColor(initial, parent);
        if (!chosen.isValid())
            return std::nullopt;
        return chosen;
    }
    bool open(const QString& pathOrAddress) override
    {
        const QUrl url = QFileInfo::exists(pathOrAddress) ? QUrl::fromLocalFile(pathOrAddress)
                                                          : QUrl::fromUserInput(pathOrAddress);
        return QDesktopServices::openUrl(url);
    }
    QString playSound(const QString& file) override { return SoundPlayer::start(file); }
    void stopSound() override { SoundPlayer::stop(); }
    bool notify(QSystemTrayIcon* tray, const QString& title, const QString& text) override
    {
        if (!tray || !tray->isVisible() || !QSystemTrayIcon::supportsMessages())
            return false;
        tray->showMessage(title, text, QSystemTrayIcon::Warning, 10000);
        return true;
    }
    const Clock& clock() const override { return Clock::system(); }
};

} // namespace

Desktop& Desktop::standard()
{
    static StandardDesktop desktop;
    return desktop;
}

bool Guarded(Desktop& desktop, QWidget* parent, const std::function<void()>& step)
{
    try {
        step();
        return true;
    } catch (const std::exception& e) {
        desktop.error(parent, QString::fromUtf8(e.what()));
        return false;
    }
}

} // namespace tarnwick::ui
